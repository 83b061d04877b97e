#include "portal/TraceLog.h"

#include <cmath>

#include "lib/Exceptions.h"
#include "lib/SysUtils.h"

AnsiString traceLogFileName(TDateTime timeOfDay) {
  double wholeDays = 0;
  const double fraction = std::modf(timeOfDay.Val, &wholeDays);
  return FloatToStr(fraction) + "logger.txt";
}

void appendTraceLine(TStringList& lines, const AnsiString& fileName, const AnsiString& line) {
  lines.SetText(lines.Text() + line);
  try {
    lines.SaveToFile(fileName);
  } catch (const Exception&) {
    // A log that cannot be written must never stop the program; the line stays in memory.
  }
  const AnsiString text = lines.Text();
  if (text.Length() > traceLogLimit) lines.SetText(RightStr(text, traceLogKeep));
}
