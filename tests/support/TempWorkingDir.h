#pragma once
// Runs each test in a fresh temporary folder (TempWorkingFolder): its working directory is the
// process's from SetUp to TearDown, and TARNWICK_WINDIR names its Windows directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TempWorkingFolder.h"

class TempWorkingDir : public ::testing::Test {
 protected:
  explicit TempWorkingDir(WorkingFolderLayout layout = {}) : root_(std::move(layout)) {}
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    root_.enter();
  }
  void TearDown() override { root_.leave(); }

  std::filesystem::path work() const { return root_.work(); }
  std::filesystem::path windows() const { return root_.windows(); }

  static void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  TempWorkingFolder root_;
};
