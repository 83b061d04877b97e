#include "TempWorkingFolder.h"

#include <QDir>
#include <cstdlib>
#include <system_error>
#include <utility>

TempWorkingFolder::TempWorkingFolder(WorkingFolderLayout layout)
    : root_(QDir::tempPath() + "/tarnwick-test-XXXXXX"), layout_(std::move(layout)) {
  if (!isValid()) return;
  std::filesystem::create_directories(work());
  if (layout_.makeWindows) std::filesystem::create_directories(windows());
}

TempWorkingFolder::~TempWorkingFolder() { leave(); }

void TempWorkingFolder::enter() {
  if (!isValid() || !previous_.empty()) return;
  previous_ = std::filesystem::current_path();
  setenv("TARNWICK_WINDIR", windows().c_str(), 1);
  std::filesystem::current_path(work());
}

void TempWorkingFolder::leave() {
  if (previous_.empty()) return;
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  previous_.clear();
}

std::filesystem::path TempWorkingFolder::work() const {
  return layout_.work.empty() ? root() : root() / layout_.work;
}

std::filesystem::path TempWorkingFolder::windows() const { return root() / layout_.windows; }
