#include "win32/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The permission bits a new file gets: those of the file it replaces, else what the process's
// file-creation mask leaves of rw-rw-rw- (read without changing the mask).
mode_t modeFor(const std::string& target) {
  struct stat info {};
  if (stat(target.c_str(), &info) == 0) return info.st_mode & 07777;
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Umask:", 0) == 0)
      mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  return 0666 & ~mask;
}

// Makes the rename itself durable; a folder that cannot be opened or flushed changes nothing
// for the file's content, so a failure here is not reported.
void flushFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The file a save to path replaces. A link the user made himself (one owned by this process's
// user) is followed, so a file kept elsewhere through a link stays there and the link stays;
// a link of another owner is not, and is replaced by the saved file like any other name, so
// nobody else can steer a save to a file elsewhere. A chain too long to be anything but a
// loop is replaced where the following stopped.
std::string resolveOwnLinks(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode) || info.st_uid != geteuid())
      return path;
    std::vector<char> link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    const ssize_t length = readlink(path.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) return path;
    const std::string named(link.data(), static_cast<std::size_t>(length));
    if (named[0] != '/' && path.find('/') != std::string::npos)
      path = folderOf(path) + "/" + named;
    else
      path = named;
  }
  return path;
}

// Why a save may not take target's place; nullptr when it may: a regular file, a link that was
// not followed (replacing it touches nothing it names), or no entry at all. A folder, a device,
// a fifo or a socket is no file of the user's data: renaming over it would put a file in a
// device's or a pipe's place. A name that cannot be looked at is left to the save's own steps
// to fail on.
const char* notReplaceable(const std::string& target) {
  struct stat info {};
  if (lstat(target.c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))
    return nullptr;
  return S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
}

// A temporary is named "." + the target's name + this mark + six letters or digits (mkostemp
// puts them in place of the X's). Only saves write the mark, so a name that carries it is a
// save's temporary and no file of the user's: a hidden copy such as ".lvshowall.txt.backup"
// is never taken for one.
constexpr std::string_view kTemporaryMark = ".tarnwick-save.";
constexpr std::string_view kRandomPart = "XXXXXX";

bool isLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The replaced file's name of a temporary so named; empty for any other name.
std::string temporaryTarget(const std::string& name) {
  const std::size_t tail = kTemporaryMark.size() + kRandomPart.size();
  if (name.size() < 1 + 1 + tail || name[0] != '.') return "";
  const std::size_t mark = name.size() - tail;
  if (name.compare(mark, kTemporaryMark.size(), kTemporaryMark) != 0) return "";
  for (std::size_t i = mark + kTemporaryMark.size(); i < name.size(); ++i)
    if (!isLetterOrDigit(name[i])) return "";
  return name.substr(1, mark - 1);
}

// The test seams of the header: variable names the file whose save the process dies in.
void killIfAsked(const char* variable, const std::string& target) {
  const char* name = std::getenv(variable);
  if (name && *name && nameOf(target) == name) raise(SIGKILL);
}

}  // namespace

FileReplacement::FileReplacement(std::string target, int permissions, bool durable)
    : target_(resolveOwnLinks(std::move(target))), permissions_(permissions), durable_(durable) {
  if (const char* reason = notReplaceable(target_)) {
    refuse(reason);
    return;
  }
  std::string pattern = folderOf(target_) + "/." + nameOf(target_) + std::string(kTemporaryMark) +
                        std::string(kRandomPart);
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) {
    fail("Cannot create a temporary file for");
    return;
  }
  temporary_ = name.data();
}

FileReplacement::~FileReplacement() { discard(); }

bool FileReplacement::fail(const char* step) {
  if (error_.empty()) error_ = std::string(step) + " " + target_ + ": " + std::strerror(errno);
  discard();
  return false;
}

bool FileReplacement::refuse(const char* reason) {
  if (error_.empty()) error_ = "Cannot replace " + target_ + ": " + reason;
  discard();
  return false;
}

void FileReplacement::discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool FileReplacement::Write(std::string_view bytes) {
  if (!Ok()) return false;
  return WriteAll(fd_, bytes) || fail("Cannot write");
}

bool FileReplacement::Commit(bool replaceExisting) {
  if (!Ok()) return false;
  const mode_t mode = permissions_ >= 0 ? static_cast<mode_t>(permissions_) : modeFor(target_);
  if (fchmod(fd_, mode) != 0 || (durable_ && fsync(fd_) != 0)) return fail("Cannot write");
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) return fail("Cannot write");
  killIfAsked("TARNWICK_TEST_KILL_IN_SAVE", target_);
  if (replaceExisting) {
    // Checked again: the name may have changed hands since the temporary was made.
    if (const char* reason = notReplaceable(target_)) return refuse(reason);
    if (rename(temporary_.c_str(), target_.c_str()) != 0) return fail("Cannot replace");
  } else {
    // link fails when the target exists, also when it appeared meanwhile.
    if (link(temporary_.c_str(), target_.c_str()) != 0) return fail("Cannot create");
    unlink(temporary_.c_str());
  }
  temporary_.clear();
  if (durable_) flushFolder(folderOf(target_));
  killIfAsked("TARNWICK_TEST_KILL_AFTER_SAVE", target_);
  return true;
}

void RemoveLeftTemporaries(const std::string& folder,
                           const std::function<bool(const std::string& target)>& ownsTarget) {
  DIR* entries = opendir(folder.c_str());
  if (!entries) return;
  std::vector<std::string> left;
  while (const dirent* entry = readdir(entries)) {
    const std::string name = entry->d_name;
    const std::string target = temporaryTarget(name);
    if (!target.empty() && ownsTarget(target)) left.push_back(name);
  }
  closedir(entries);
  for (const std::string& name : left) RemoveRegularFile(folder + "/" + name);
}

bool RemoveRegularFile(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && unlink(path.c_str()) == 0;
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* error) {
  FileReplacement replacement(path);
  const bool written = replacement.Write(bytes) && replacement.Commit();
  if (!written && error) *error = replacement.Error();
  return written;
}
