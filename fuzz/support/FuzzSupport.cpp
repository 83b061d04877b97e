#include "FuzzSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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

std::optional<std::vector<std::string>> SplitFiles(std::string_view input, std::size_t count,
                                                   std::size_t maxBytes) {
  std::vector<std::string> files = SplitPieces(input);
  if (files.size() > count) return std::nullopt;
  for (const std::string& file : files)
    if (file.size() > maxBytes) return std::nullopt;
  files.resize(count);
  return files;
}

void WriteFile(const std::string& name, std::string_view bytes) {
  std::ofstream(name, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void StartFuzzTarget(QtKind kind) {
  static int argc = 1;
  static char name[] = "fuzz";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (kind == QtKind::Widgets)
    Application->Initialize();
  else
    new QCoreApplication(argc, argv);
}

void MoveIntoTemporaryFolders(char** argv) {
  // libFuzzer reads its folders and writes its findings after this: they are made absolute.
  static std::vector<std::string> absolute;
  absolute.reserve(64);
  for (char** arg = argv + 1; *arg && absolute.size() < absolute.capacity(); ++arg) {
    std::string text = *arg;
    std::size_t path = 0;
    for (const char* option : {"-artifact_prefix=", "-exact_artifact_path=", "-dict="})
      if (text.starts_with(option)) path = std::string_view(option).size();
    if (text.starts_with('-') && path == 0) continue;
    const std::string value = text.substr(path);
    if (value.empty() || value.starts_with('/')) continue;
    absolute.push_back(text.substr(0, path) + std::filesystem::absolute(value).string());
    *arg = absolute.back().data();
  }
  // In memory where the system has a place for it: the atomic saves flush every file.
  const QString base = QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath();
  static QTemporaryDir workDir(base + "/tarnwick-fuzz-work-XXXXXX");
  static QTemporaryDir windowsDir(base + "/tarnwick-fuzz-windows-XXXXXX");
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

// Leaks that are none: what the system's font configuration keeps for the process's life.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
