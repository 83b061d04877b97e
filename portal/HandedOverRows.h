#pragma once
// What the portal handed to the refresh agent: the cells the agent refreshes (current bid,
// bids, Ends) of every watched row as "lvshowall.txt" held them when the agent was started. A
// row the agent keeps as it was (its page did not come, or could not be used) comes back in
// "newgrid.lv" with these very cells: such a record tells nothing new, and applying it would
// undo what the portal has learnt since, such as a win that an add read while the agent ran
// (which the next refresh would then count against its group a second time).
#include <map>
#include <string>

#include "forms/ListView.h"
#include "lib/AnsiString.h"

class HandedOverRows {
 public:
  // Remembers every row of the watch list (the first of each caption), in place of an earlier
  // hand-over.
  void remember(TListView* watchList);
  void forget();
  // Whether a record for the row holds the row's cells as they were handed over; false for a
  // row that was not (one added since, or no hand-over remembered).
  bool keptAsItWas(const TListItem* row, const AnsiString& current, const AnsiString& bids,
                   const AnsiString& ends) const;

 private:
  struct Cells {
    AnsiString current;
    AnsiString bids;
    AnsiString ends;
  };
  std::map<std::string, Cells> rows_;  // by the row's caption
};
