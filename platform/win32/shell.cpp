#include "win32/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "win32/paths.h"

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool IsUrl(const std::string& name) { return name.find("://") != std::string::npos; }

// Whether the file or folder is there, a relative name read from the starting folder.
bool Exists(const std::string& name, const std::string& folder) {
  struct stat info {};
  const std::string path = name[0] == '/' || folder.empty() ? name : folder + "/" + name;
  return stat(path.c_str(), &info) == 0;
}

// The path made absolute from the current directory (the child changes its directory).
std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char* here = getcwd(nullptr, 0);
  std::string absolute = std::string(here ? here : ".") + "/" + path;
  std::free(here);
  return absolute;
}

// The program to start for the name: as given when it holds a folder part, else from the
// starting folder (when one is given), else from PATH; empty when there is no such executable.
std::string FindExecutable(const std::string& name, const std::string* folder) {
  if (name.empty() || IsUrl(name)) return "";
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? Absolute(name) : "";
  if (folder) {
    std::string local = (folder->empty() ? std::string(".") : *folder) + "/" + name;
    if (IsExecutableFile(local)) return Absolute(local);
  }
  const char* path = std::getenv("PATH");
  std::stringstream entries(path ? path : "");
  for (std::string entry; std::getline(entries, entry, ':');) {
    if (!entry.empty() && IsExecutableFile(entry + "/" + name)) return entry + "/" + name;
  }
  return "";
}

// Starts the program in a new session through a short-lived intermediate child, so the
// program is re-parented and never becomes a zombie of the caller. Returns 0 when the program
// was executed, else the errno of the failure.
int SpawnDetached(const std::vector<std::string>& arguments, const std::string& folder) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  pid_t middle = fork();
  if (middle < 0) {
    int error = errno;
    close(report[0]);
    close(report[1]);
    return error;
  }
  if (middle == 0) {
    close(report[0]);
    pid_t program = fork();
    if (program == 0) {
      setsid();
      int null = open("/dev/null", O_RDONLY);
      if (null >= 0) dup2(null, STDIN_FILENO);
      int error = 0;
      if (!folder.empty() && chdir(folder.c_str()) != 0) error = errno;
      if (error == 0) {
        execv(argv[0], argv.data());
        error = errno;
      }
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    }
    int error = program < 0 ? errno : 0;
    if (error != 0) (void)!write(report[1], &error, sizeof error);
    _exit(0);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

std::vector<std::string> SplitParameters(LPCSTR parameters) {
  std::vector<std::string> words;
  std::stringstream stream(parameters ? parameters : "");
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

HINSTANCE Result(int code) { return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code)); }

}  // namespace

HINSTANCE ShellExecuteA(HWND /*hwnd*/, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, int /*nShowCmd*/) {
  if (lpOperation && *lpOperation && std::strcmp(lpOperation, "open") != 0)
    return Result(SE_ERR_NOASSOC);
  if (!lpFile || !*lpFile) return Result(SE_ERR_FNF);
  std::string folder = NativePath(lpDirectory);
  std::string target = IsUrl(lpFile) ? std::string(lpFile) : NativePath(lpFile);
  std::string program = FindExecutable(target, &folder);
  std::vector<std::string> arguments;
  if (!program.empty()) {
    arguments.push_back(program);
    for (auto& word : SplitParameters(lpParameters)) arguments.push_back(word);
  } else {
    // A file that is not there cannot be opened, as the system's shell says at once.
    if (!IsUrl(target) && !Exists(target, folder)) return Result(SE_ERR_FNF);
    const char* opener = std::getenv("TARNWICK_OPENER");
    std::string openerProgram = FindExecutable(opener && *opener ? opener : "xdg-open", nullptr);
    if (openerProgram.empty()) return Result(SE_ERR_NOASSOC);
    arguments = {openerProgram, target};
  }
  return Result(SpawnDetached(arguments, folder) == 0 ? 42 : SE_ERR_FNF);
}
