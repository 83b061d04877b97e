#pragma once
// LC_NUMERIC set to a locale whose decimal separator is a comma, as a program's Qt application
// sets it from the environment (LANG=de_DE.UTF-8 and the like), for the lifetime of the
// object. A machine that lacks such a locale gets one built from the system's locale sources
// in a temporary folder; Active() is false when none can be had.
#include <stdlib.h>

#include <clocale>
#include <filesystem>
#include <string>

class CommaNumericLocale {
 public:
  CommaNumericLocale() {
    if (use()) return;
    char pattern[] = "/tmp/localesXXXXXX";
    if (!mkdtemp(pattern)) return;
    built_ = pattern;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (built_ / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) < 0) return;
    setenv("LOCPATH", built_.c_str(), 1);
    use();
  }
  ~CommaNumericLocale() {
    std::setlocale(LC_NUMERIC, "C");
    if (built_.empty()) return;
    unsetenv("LOCPATH");
    std::error_code ignored;
    std::filesystem::remove_all(built_, ignored);
  }
  CommaNumericLocale(const CommaNumericLocale&) = delete;
  CommaNumericLocale& operator=(const CommaNumericLocale&) = delete;

  bool Active() const { return active_; }

 private:
  bool use() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"})
      if (std::setlocale(LC_NUMERIC, name) && std::localeconv()->decimal_point[0] == ',')
        return active_ = true;
    return false;
  }

  bool active_ = false;
  std::filesystem::path built_;
};
