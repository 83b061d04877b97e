#pragma once
// Shared set-up of the scraping suite: every test runs in a fresh temporary working directory
// with its own Windows directory and the portal's date and time formats.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "lib/FormatSettings.h"
#include "lib/StringList.h"

class ScrapingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("tarnwick-scraping-" + std::to_string(::getpid()) + "-" + info->test_suite_name() +
            "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "windir");
    std::filesystem::current_path(dir_);
    ::setenv("TARNWICK_WINDIR", (dir_ / "windir").c_str(), 1);
    TFormatSettings& fs = FormatSettings();
    fs.ShortDateFormat = "mm/dd/yy";
    fs.LongTimeFormat = "hh:mm:ss";
    fs.DateSeparator = '/';
    fs.TimeSeparator = ':';
    fs.DecimalSeparator = '.';
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
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

 private:
  std::filesystem::path previous_;
};
