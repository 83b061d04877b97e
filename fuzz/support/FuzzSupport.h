#pragma once
// What every fuzz target shares: its start-up (a Qt application, a working directory and a
// Windows directory of its own), the script separator, and the check that turns a broken
// property into a finding.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Separates the pieces of a script (one reply after another) and the files of a file set.
inline constexpr std::string_view kPieceSeparator = "~~~~";

// The input as text, split at every separator (an input without one is one piece).
std::vector<std::string> SplitPieces(std::string_view input);
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}
// The input as a set of count files (those not given are empty); nothing when it holds more
// than count or a file longer than maxBytes.
std::optional<std::vector<std::string>> SplitFiles(std::string_view input, std::size_t count,
                                                   std::size_t maxBytes);
void WriteFile(const std::string& name, std::string_view bytes);
std::string ReadFile(const std::string& name);

enum class QtKind { Core, Widgets };
// Makes the Qt application, offscreen for widgets.
void StartFuzzTarget(QtKind kind);
// Moves into fresh temporary working and Windows directories, removed at the process's end,
// for a target whose code works on files there. The paths among libFuzzer's arguments (argv
// of LLVMFuzzerInitialize) are made absolute first.
void MoveIntoTemporaryFolders(char** argv);

// While one lives, a broken property also prints what describe() gives (what a component sent,
// say), so that a finding can be read without a debugger.
class FailureContext {
 public:
  explicit FailureContext(std::function<std::string()> describe);
  ~FailureContext();
  FailureContext(const FailureContext&) = delete;
  FailureContext& operator=(const FailureContext&) = delete;
};

// Reports a broken property and stops the run, so that libFuzzer keeps the input.
[[noreturn]] void FuzzFailure(const char* file, int line, const std::string& what);
#define FUZZ_REQUIRE(condition, what) \
  ((condition) ? static_cast<void>(0) : FuzzFailure(__FILE__, __LINE__, (what)))
