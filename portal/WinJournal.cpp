#include "portal/WinJournal.h"

#include "lib/Exceptions.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/WorkFiles.h"

void saveWinJournal(const JournaledWin& win) {
  TStringList lines;
  for (const AnsiString* value : {&win.item, &win.state, &win.group, &win.count})
    lines.Add(oneLine(*value));
  lines.SaveToFile(winJournalFileName);
}

std::optional<JournaledWin> loadWinJournal() {
  if (!FileExists(winJournalFileName)) return std::nullopt;
  TStringList lines;
  try {
    lines.LoadFromFile(winJournalFileName);
  } catch (const Exception&) {
    return std::nullopt;
  }
  if (lines.Count() != 4) return std::nullopt;
  return JournaledWin{lines[0], lines[1], lines[2], lines[3]};
}

void removeWinJournal() { DeleteFile(winJournalFileName); }
