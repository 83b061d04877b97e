#pragma once
// A fresh temporary folder for a test: a working directory and a Windows directory of its own
// below it, never the user's. enter() makes them the process's (the Windows directory through
// TARNWICK_WINDIR, which both programs read); leave() goes back to the working directory from
// before. The folder goes, with all that is in it, with the object.
#include <QString>
#include <QTemporaryDir>
#include <filesystem>
#include <string>

// Where the two directories lie below the temporary root.
struct WorkingFolderLayout {
  std::string work = "work";  // "" is the root itself
  std::string windows = "windows";
  bool makeWindows = true;  // false: the first ini file written makes it
};

class TempWorkingFolder {
 public:
  explicit TempWorkingFolder(WorkingFolderLayout layout = {});
  ~TempWorkingFolder();
  TempWorkingFolder(const TempWorkingFolder&) = delete;
  TempWorkingFolder& operator=(const TempWorkingFolder&) = delete;

  void enter();
  void leave();

  bool isValid() const { return root_.isValid(); }
  // The root, as a Qt path.
  QString path() const { return root_.path(); }
  std::filesystem::path root() const { return root_.path().toStdString(); }
  std::filesystem::path work() const;
  std::filesystem::path windows() const;

 private:
  QTemporaryDir root_;
  WorkingFolderLayout layout_;
  std::filesystem::path previous_;  // empty when not entered
};
