#pragma once
// Replacing a file whole: the new bytes go to a temporary file in the same folder, are flushed
// to the disk, and only then is the temporary renamed over the old file. A reader (or a
// restart after a crash, a kill or a full disk) finds the old file or the new one, never a
// mix, and a write that fails leaves the old file as it was and no temporary behind. A name
// that is the user's own link saves to the file the link names, its temporary beside that
// file; a link of another owner is replaced like a file. Only a regular file is replaced (or
// made where the name is free): a save to a folder, a device, a fifo or a socket, by its name
// or through the user's link, fails ("Cannot replace NAME: Is a directory", or "...: Not a
// regular file") and leaves it as it is.
#include <functional>
#include <string>
#include <string_view>

// One replacement in progress. The temporary is made by the constructor; Write appends to it;
// Commit flushes, closes and renames it into place. A replacement that is not committed (or
// whose commit fails) removes its temporary when it goes. The new file gets the permission
// bits given, else those of the file it replaces, else the process's default for a new file.
// One that is not durable is still whole whenever it is seen, but Commit leaves the flush to
// the system: a crash soon after may lose it (for files that can be made again).
//
// Test seams: when TARNWICK_TEST_KILL_AFTER_SAVE holds a file name (without folder), the process
// kills itself (SIGKILL, as a crash would end it) right after a replacement of a file of that
// name has been committed; when TARNWICK_TEST_KILL_IN_SAVE does, it kills itself in the middle
// of such a replacement, once the temporary holds every byte and before it is renamed, so the
// temporary is left behind and the old file stays as it was. Tests use them to stop a program
// between two saves, or in one.
class FileReplacement {
 public:
  explicit FileReplacement(std::string target, int permissions = -1, bool durable = true);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False once any step has failed; Error() then says why.
  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }

  bool Write(std::string_view bytes);
  // With replaceExisting false, an existing target makes the commit fail and stays as it is.
  bool Commit(bool replaceExisting = true);

 private:
  bool fail(const char* step);
  // Fails the replacement of a target that is no regular file, saying why.
  bool refuse(const char* reason);
  void discard();

  std::string target_;
  int permissions_;
  bool durable_;
  std::string temporary_;
  int fd_ = -1;
  std::string error_;
};

// Removes from folder the temporaries that replacements cut short (by a kill, a crash) left
// behind, for the files whose names ownsTarget accepts (the name without its folder). A
// temporary's name carries a mark that only replacements write ("." + the file's name +
// ".tarnwick-save." + six letters or digits); only regular files named so are removed, so a
// caller who knows that no replacement of those files is running loses nothing, and a file of
// any other name (a user's hidden copy of a list) stays.
void RemoveLeftTemporaries(const std::string& folder,
                           const std::function<bool(const std::string& target)>& ownsTarget);

// Removes path when it is a regular file; a link (whatever it names), a folder, a device, a
// fifo or a socket of that name stays. False when nothing was removed.
bool RemoveRegularFile(const std::string& path);

// Replaces the file at path with bytes; false with the reason in *error (when given) if the
// file could not be written.
bool ReplaceFileContents(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// Writes every byte to the open descriptor, again after an interrupted call; false at the
// first failure, with errno saying why.
bool WriteAll(int fd, std::string_view bytes);
