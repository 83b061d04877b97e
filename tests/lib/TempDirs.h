#pragma once
// Each test of the class library works in a fresh temporary folder of its own, which is also
// the folder of its bare-named ini files: the Windows directory is its "windows", made by the
// first ini file written. The folder is removed afterwards.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TempWorkingDir.h"

class TempDirs : public TempWorkingDir {
 protected:
  TempDirs() : TempWorkingDir({.work = "", .windows = "windows", .makeWindows = false}) {}
  void SetUp() override {
    TempWorkingDir::SetUp();
    dir_ = work();
  }
  static std::string bytesOf(const std::filesystem::path& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::filesystem::path dir_;
};
