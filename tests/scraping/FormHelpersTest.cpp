// Filling a combo box from a list view's captions.
#include "ScrapingTestSupport.h"
#include "forms/ComboBox.h"
#include "forms/ListView.h"
#include "scraping/EbayScraper.h"

namespace {

using FormHelpers = ScrapingTest;

TEST_F(FormHelpers, FillListFromLVCaptionsCopiesEveryCaptionInOrder) {
  TListView groups(nullptr);
  TComboBox combo(nullptr);
  combo.Items()->Add("stale");
  for (const char* name : {"IND", "Cameras", "lenses"}) groups.Items()->Add()->SetCaption(name);
  EXPECT_EQ(ebayScraper.fillListFromLVCaptions(&combo, &groups), 3);
  EXPECT_EQ(combo.Items()->Text(), "IND\r\nCameras\r\nlenses\r\n");
}

TEST_F(FormHelpers, FillListFromAnEmptyListViewKeepsTheOldItems) {
  TListView groups(nullptr);
  TComboBox combo(nullptr);
  combo.Items()->Add("IND");
  combo.Items()->Add("Cameras");
  EXPECT_EQ(ebayScraper.fillListFromLVCaptions(&combo, &groups), 0);
  EXPECT_EQ(combo.Items()->Text(), "IND\r\nCameras\r\n");
}

}  // namespace
