#pragma once
// Runs a test in a fresh temporary working directory, with TARNWICK_WINDIR set to a temporary
// folder of its own; both are removed afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempWorkingDir : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    std::filesystem::create_directory(dir_ / "windir");
    setenv("TARNWICK_WINDIR", (dir_ / "windir").c_str(), 1);
    std::filesystem::create_directory(dir_ / "work");
    std::filesystem::current_path(dir_ / "work");
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::filesystem::path work() const { return dir_ / "work"; }

  static void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};
