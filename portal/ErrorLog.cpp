#include "portal/ErrorLog.h"

#include "lib/Exceptions.h"
#include "lib/StringList.h"

void writeErrorLog(const AnsiString& message) {
  std::string line = message.str();
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  TStringList lines;
  lines.Add(line);
  try {
    lines.SaveToFile(errorLogFileName);
  } catch (const Exception&) {
  }
}
