// The browser's pages saved to files in the working directory, and the file helpers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "browser/CppWebBrowser.h"
#include "lib/Exceptions.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"
#include "win32/files.h"

namespace {

// Longest URL handed to the browser: the rest of a longer one is cut off.
constexpr int kMaxUrlLength = 2998;

AnsiString inWorkingDirectory(const AnsiString& name) { return GetCurrentDir() + "/" + name; }

// Whether the regular file (not a link) holds exactly these bytes.
bool fileHolds(const AnsiString& fileName, const AnsiString& bytes) {
  const int fd = open(fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status {};
  const std::string& wanted = bytes.str();
  bool same = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
              static_cast<std::size_t>(status.st_size) == wanted.size();
  std::string content(same ? wanted.size() + 1 : 0, '\0');  // one byte more finds a longer file
  std::size_t got = 0;
  while (same && got < content.size()) {
    const ssize_t n = read(fd, content.data() + got, content.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  return same && got == wanted.size() && std::equal(wanted.begin(), wanted.end(), content.begin());
}

// Saves the document as saveBroDocToFile does. A file that already holds the document's bytes
// (the page tested for its previous marker) is left as it is: saving it again would write the
// same file. True when the file holds the document afterwards; otherwise the reason is put in
// *error when it is given.
bool saveDocument(TCppWebBrowser* browser, const AnsiString& fileName,
                  std::string* error = nullptr) {
  if (browser != nullptr && browser->HasDocument() && fileHolds(fileName, browser->Document()))
    return true;
  // The old file goes first, so a failed save leaves no stale page to be tested; so does a
  // link under the name, whether its file is there or not, so the save makes a file of its own.
  DeleteFileA(fileName.c_str());
  if (browser == nullptr) {
    if (error) *error = "No browser to save " + fileName.str() + " from";
    return false;
  }
  return browser->SaveDocument(fileName, error);  // false (nothing written) without a document
}

}  // namespace

void TEbayScraper::saveBroDocToFile(TCppWebBrowser* browser, const AnsiString& fileName) const {
  saveDocument(browser, fileName);
}

bool TEbayScraper::saveBroDocToFile(TCppWebBrowser* browser, const AnsiString& fileName,
                                    AnsiString& reason) const {
  std::string error;
  if (saveDocument(browser, fileName, &error)) return true;
  reason = error;
  return false;
}

void TEbayScraper::broNavigate(TCppWebBrowser* browser, const AnsiString& url) const {
  if (browser == nullptr) return;
  browser->Navigate(LeftStr(url, kMaxUrlLength));
}

bool TEbayScraper::broDocContains(TCppWebBrowser* browser, const AnsiString& marker,
                                  const AnsiString& fileName) const {
  const bool holdsDocument = saveDocument(browser, fileName);
  if (!FileExists(fileName)) return false;
  // Loading the file changes nothing of the document's bytes but its line breaks (made CR LF,
  // one after the last line): a marker without a line break is searched in the document.
  if (holdsDocument && marker.str().find_first_of("\r\n") == std::string::npos)
    return containsText(marker, browser->Document());
  TStringList page;
  try {
    page.LoadFromFile(fileName);
  } catch (const Exception&) {
    // Tested as whatever could be loaded.
  }
  return containsText(marker, page.Text());
}

void TEbayScraper::copyLocalFile(const AnsiString& source, const AnsiString& destination) const {
  CopyFileA(inWorkingDirectory(source).c_str(), inWorkingDirectory(destination).c_str(), FALSE);
}

void TEbayScraper::deleteFilesByExt(const AnsiString& extension) const {
  // An empty extension would match every file without a dot: nothing to delete then.
  if (extension.IsEmpty()) return;
  constexpr DWORD kKnownAttributes = 63;  // read-only, hidden, system, volume, directory, archive
  WIN32_FIND_DATAA entry{};
  HANDLE find = FindFirstFileA(inWorkingDirectory("*.*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((entry.dwFileAttributes & ~kKnownAttributes) != 0) continue;
    const std::string name = entry.cFileName;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && name.substr(dot) == extension.str()) DeleteFileA(name.c_str());
  } while (FindNextFileA(find, &entry));
  FindClose(find);
}
