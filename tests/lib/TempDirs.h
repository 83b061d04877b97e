#pragma once
// Each test of the class library works in a fresh temporary folder of its own, which is also
// the folder of its bare-named ini files; the folder is removed afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDirs : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/libtestXXXXXX";
    dir_ = mkdtemp(pattern);
    std::filesystem::current_path(dir_);
    setenv("TARNWICK_WINDIR", (dir_ / "windows").c_str(), 1);
  }
  void TearDown() override {
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir_);
  }
  static std::string bytesOf(const std::filesystem::path& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::filesystem::path dir_;
};
