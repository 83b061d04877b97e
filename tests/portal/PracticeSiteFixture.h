#pragma once
// The main window in-process against one practice auction site for the whole suite: the site
// is started before the suite's first test (with the suite's own arguments) and stopped after
// its last, and its pages, faults and counters are reset before each test.
#include <memory>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "tools/testing/PracticeSite.h"

class PracticeSiteFixture : public MainWindowFixture {
 protected:
  // For the suite's SetUpTestSuite.
  static void startSite(const std::vector<std::string>& arguments = {}) {
    MainWindowFixture::SetUpTestSuite();
    site_ = std::make_unique<tarnwick::tools::PracticeSite>(arguments);
  }
  static void TearDownTestSuite() { site_.reset(); }
  void SetUp() override {
    MainWindowFixture::SetUp();
    site_->control("reset=all");
  }

  static inline std::unique_ptr<tarnwick::tools::PracticeSite> site_;
};
