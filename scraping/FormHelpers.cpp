// Filling a combo box from a list view's captions.
#include "forms/ComboBox.h"
#include "forms/ListView.h"
#include "scraping/EbayScraper.h"

int TEbayScraper::fillListFromLVCaptions(TComboBox* comboBox, TListView* listView) const {
  if (comboBox == nullptr || listView == nullptr) return 0;
  TListItems* items = listView->Items();
  const int count = items->Count();
  if (count == 0) return 0;  // the old items stay
  comboBox->Items()->Clear();
  for (int i = 0; i < count; ++i) comboBox->Items()->Add(items->Item(i)->Caption());
  return count;
}
