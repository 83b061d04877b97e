// The browser's pages saved to files in the working directory, and the file helpers.
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

}  // namespace

void TEbayScraper::saveBroDocToFile(TCppWebBrowser* browser, const AnsiString& fileName) const {
  // The old file goes first, so a failed save leaves no stale page to be tested.
  if (FileExists(fileName)) DeleteFileA(fileName.c_str());
  if (browser == nullptr) return;
  browser->SaveDocument(fileName);  // false (nothing written) without a document
}

void TEbayScraper::broNavigate(TCppWebBrowser* browser, const AnsiString& url) const {
  if (browser == nullptr) return;
  browser->Navigate(LeftStr(url, kMaxUrlLength));
}

bool TEbayScraper::broDocContains(TCppWebBrowser* browser, const AnsiString& marker,
                                  const AnsiString& fileName) const {
  saveBroDocToFile(browser, fileName);
  if (!FileExists(fileName)) return false;
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
