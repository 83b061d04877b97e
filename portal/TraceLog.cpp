#include "portal/TraceLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <string_view>

#include "lib/Exceptions.h"
#include "lib/SysUtils.h"
#include "win32/replace_file.h"

namespace {

// Appends bytes to the file when it holds exactly expectedSize bytes, all or nothing as far as
// the file's end is concerned: false (the file then needs writing whole) when it is missing,
// of another size, or the write fails.
bool appendWhenSized(const AnsiString& fileName, std::size_t expectedSize, std::string_view bytes) {
  const int fd = open(fileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status {};
  const bool appended = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                        static_cast<std::size_t>(status.st_size) == expectedSize &&
                        WriteAll(fd, bytes);
  return close(fd) == 0 && appended;
}

}  // namespace

AnsiString traceLogFileName(TDateTime timeOfDay) {
  double wholeDays = 0;
  const double fraction = std::modf(timeOfDay.Val, &wholeDays);
  return FloatToStr(fraction) + traceLogFileEnding;
}

void appendTraceLine(TStringList& lines, const AnsiString& fileName, const AnsiString& line) {
  // The list's text grows by the line as the list splits it, each part with its CR LF: the
  // list's text ends in a line break, so its old lines stay as they were.
  TStringList added;
  added.SetText(line);
  const std::size_t before = lines.TextLength();
  for (int i = 0; i < added.Count(); ++i) lines.Add(added[i]);
  // A file that holds the text before the line needs only the line's part; any other file
  // (missing, cut back, changed from outside, a failed write) is saved whole.
  if (!appendWhenSized(fileName, before, added.Text().str())) {
    try {
      lines.SaveToFile(fileName);
    } catch (const Exception&) {
      // A log that cannot be written must never stop the program; the line stays in memory.
    }
  }
  if (lines.TextLength() > static_cast<std::size_t>(traceLogLimit))
    lines.SetText(RightStr(lines.Text(), traceLogKeep));
}
