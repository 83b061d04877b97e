#pragma once
// Shared set-up of the scraping suite and of the agent's reading of ended auctions: every test
// runs in a fresh temporary working directory with its own Windows directory and the portal's
// date and time formats.
#include <filesystem>
#include <string>

#include "TempWorkingDir.h"
#include "lib/FormatSettings.h"
#include "lib/StringList.h"

class ScrapingTest : public TempWorkingDir {
 protected:
  void SetUp() override {
    TempWorkingDir::SetUp();
    dir_ = work();
    TFormatSettings& fs = FormatSettings();
    fs.ShortDateFormat = "mm/dd/yy";
    fs.LongTimeFormat = "hh:mm:ss";
    fs.DateSeparator = '/';
    fs.TimeSeparator = ':';
    fs.DecimalSeparator = '.';
  }

  // A saved page of the fixtures folder, loaded as the programs load page files.
  static TStringList fixturePage(const std::string& name) {
    TStringList page;
    page.LoadFromFile((std::string(TARNWICK_SCRAPING_FIXTURES) + "/" + name).c_str());
    return page;
  }
  static std::string fixturePath(const std::string& name) {
    return std::string(TARNWICK_SCRAPING_FIXTURES) + "/" + name;
  }
  // A page of the given lines.
  static TStringList pageOf(const AnsiString& text) {
    TStringList page;
    page.SetText(text);
    return page;
  }

  std::filesystem::path dir_;
};
