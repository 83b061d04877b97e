#include "portal/HandedOverRows.h"

#include "portal/WatchListRows.h"

void HandedOverRows::remember(TListView* watchList) {
  rows_.clear();
  for (int i = 0; i < watchList->Items()->Count(); ++i) {
    const TListItem* row = watchList->Items()->Item(i);
    rows_.try_emplace(row->Caption().str(), Cells{cellText(row, siCurrent), cellText(row, siBids),
                                                  cellText(row, siEnds)});
  }
}

void HandedOverRows::forget() { rows_.clear(); }

bool HandedOverRows::keptAsItWas(const TListItem* row, const AnsiString& current,
                                 const AnsiString& bids, const AnsiString& ends) const {
  const auto found = rows_.find(row->Caption().str());
  return found != rows_.end() && found->second.current == current && found->second.bids == bids &&
         found->second.ends == ends;
}
