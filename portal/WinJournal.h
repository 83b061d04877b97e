#pragma once
// The win journal "win.jnl". A win is two saves: the lessened count of its group in
// "groups.tnq" and the won row in "lvshowall.txt". The journal is saved before them and removed
// after them, so a start that finds it knows that a kill or a crash came in between, and sets
// and saves both as the journal says: a win lessens its group exactly once. It holds four
// lines: the item number, its state word, the group and the group's count after the win.
#include <optional>

#include "lib/AnsiString.h"

inline constexpr const char* winJournalFileName = "win.jnl";

struct JournaledWin {
  AnsiString item;
  AnsiString state;
  AnsiString group;
  AnsiString count;
};

// Saves the journal whole; throws the save's exception when it cannot be written.
void saveWinJournal(const JournaledWin& win);
// The journal's win; none without a journal, or for one that does not hold four lines.
std::optional<JournaledWin> loadWinJournal();
void removeWinJournal();
