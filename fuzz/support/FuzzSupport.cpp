#include "FuzzSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "forms/Application.h"

std::vector<std::string> SplitPieces(std::string_view input) {
  std::vector<std::string> pieces;
  for (;;) {
    const std::size_t at = input.find(kPieceSeparator);
    pieces.emplace_back(input.substr(0, at));
    if (at == std::string_view::npos) return pieces;
    input.remove_prefix(at + kPieceSeparator.size());
  }
}

void StartFuzzTarget(QtKind kind, Folders folders) {
  static int argc = 1;
  static char name[] = "fuzz";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (kind == QtKind::Widgets)
    Application->Initialize();
  else
    new QCoreApplication(argc, argv);
  if (folders == Folders::Kept) return;
  static QTemporaryDir workDir;
  static QTemporaryDir windowsDir;
  QDir::setCurrent(workDir.path());
  qputenv("TARNWICK_WINDIR", windowsDir.path().toLocal8Bit());
}

namespace {
std::function<std::string()> failureContext;
}  // namespace

FailureContext::FailureContext(std::function<std::string()> describe) {
  failureContext = std::move(describe);
}
FailureContext::~FailureContext() { failureContext = nullptr; }

void FuzzFailure(const char* file, int line, const std::string& what) {
  std::fprintf(stderr, "\n==fuzz== property broken at %s:%d: %s\n", file, line, what.c_str());
  if (failureContext) std::fprintf(stderr, "%s\n", failureContext().c_str());
  std::fflush(stderr);
  std::abort();
}
