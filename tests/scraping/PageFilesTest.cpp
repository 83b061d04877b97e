// The browser's page tests, the page files and the window probe, on the real browser, files
// and window registry of the platform layer.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "ScrapingTestSupport.h"
#include "browser/CppWebBrowser.h"
#include "scraping/EbayScraper.h"
#include "win32/findwindow.h"

namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class PageFiles : public ScrapingTest {
 protected:
  // Navigates through the scraper and waits for the load's DocumentComplete.
  bool navigateAndWait(const AnsiString& url) {
    bool completed = false;
    browser.OnDocumentComplete = [&](TObject*, const AnsiString&) { completed = true; };
    ebayScraper.broNavigate(&browser, url);
    QElapsedTimer clock;
    clock.start();
    while (!completed && clock.elapsed() < 5000) QCoreApplication::processEvents();
    return completed;
  }

  TCppWebBrowser browser{nullptr, nullptr};
};

TEST_F(PageFiles, NoDocumentMeansNoMarkerAndNoScratchFile) {
  writeBytes("temp.tmp", "<html>Ready to bid</html>\r\n");  // left over from an earlier test
  EXPECT_FALSE(ebayScraper.broDocContains(&browser, "</html>", "temp.tmp"));
  EXPECT_FALSE(fs::exists("temp.tmp"));
  EXPECT_FALSE(ebayScraper.broDocContains(nullptr, "", "temp.tmp"));
  EXPECT_FALSE(fs::exists("temp.tmp"));
}

TEST_F(PageFiles, PageTestSavesTheDocumentBytesAndSearchesThem) {
  ASSERT_TRUE(navigateAndWait(fixturePath("usd.htm").c_str()));
  EXPECT_TRUE(ebayScraper.broDocContains(&browser, "Ready to bid", "temp.tmp"));
  EXPECT_EQ(readBytes("temp.tmp"), readBytes(fixturePath("usd.htm")));
  EXPECT_TRUE(ebayScraper.broDocContains(&browser, "\xA0<b>or more</b>)", "temp.tmp"));
  EXPECT_FALSE(ebayScraper.broDocContains(&browser, "ready to bid", "temp.tmp"));
  EXPECT_FALSE(ebayScraper.broDocContains(&browser, "<title>Invalid Item</title>", "temp.tmp"));
}

// Each page test leaves the scratch file holding the document, whatever happened to the file
// since the last test (changed, shortened, deleted, replaced by another file); a marker is
// searched as the loaded file reads, its line breaks made CR LF.
TEST_F(PageFiles, EveryPageTestFindsTheDocumentSavedWhateverBecameOfTheFile) {
  writeBytes("page.htm", "<html>one\nReady to bid\rtwo</html>");
  ASSERT_TRUE(navigateAndWait("page.htm"));
  const std::string saved = "<html>one\nReady to bid\rtwo</html>";
  const struct {
    const char* before;  // what is done to the scratch file first
    const char* marker;
    bool found;
  } cases[] = {
      {"", "Ready to bid", true},       {"", "Ready to bid", true},
      {"change", "Ready to bid", true}, {"same size", "two</html>", true},
      {"shorten", "one", true},         {"delete", "</html>", true},
      {"replace", "Ready", true},       {"", "one\r\nReady to bid\r\ntwo", true},
      {"", "one\nReady", false},        {"", "</html>\r\n", true},
      {"change", "Sold for", false},
  };
  for (const auto& c : cases) {
    const std::string before = c.before;
    if (before == "change") writeBytes("temp.tmp", "<html>Sold for a song</html>\r\n");
    if (before == "same size") writeBytes("temp.tmp", std::string(saved.size(), 'x'));
    if (before == "shorten") fs::resize_file("temp.tmp", 3);
    if (before == "delete") fs::remove("temp.tmp");
    if (before == "replace") {
      writeBytes("other.tmp", saved);
      fs::rename("other.tmp", "temp.tmp");
    }
    EXPECT_EQ(ebayScraper.broDocContains(&browser, c.marker, "temp.tmp"), c.found)
        << c.marker << " after " << before;
    EXPECT_EQ(readBytes("temp.tmp"), saved) << "after " << before;
  }
}

// The scratch file is the programs' own: a link found under its name, to a file that is there
// or not, is never written through. The page is saved in its place and found as ever.
TEST_F(PageFiles, PageTestNeverWritesThroughALinkNamedAsTheScratchFile) {
  writeBytes("page.htm", "<html>Ready to bid</html>");
  ASSERT_TRUE(navigateAndWait("page.htm"));
  fs::create_directory("elsewhere");
  writeBytes("elsewhere/kept.txt", "kept");
  for (const char* target : {"elsewhere/kept.txt", "elsewhere/new.txt"}) {
    SCOPED_TRACE(target);
    fs::remove("temp.tmp");
    fs::create_symlink(dir_ / target, "temp.tmp");
    EXPECT_TRUE(ebayScraper.broDocContains(&browser, "Ready to bid", "temp.tmp"));
    EXPECT_FALSE(fs::is_symlink("temp.tmp"));
    EXPECT_EQ(readBytes("temp.tmp"), "<html>Ready to bid</html>");
  }
  EXPECT_EQ(readBytes("elsewhere/kept.txt"), "kept");
  EXPECT_FALSE(fs::exists("elsewhere/new.txt"));
}

// A page test replaces the scratch file whole: a reader elsewhere (the other program, a copy
// of the page being taken) finds no file, the page before or the page after, never a part.
TEST_F(PageFiles, AReaderOfTheScratchFileFindsAWholePageOrNone) {
  const std::string pages[] = {"<html>" + std::string(300000, 'a') + "</html>",
                               "<html>" + std::string(200000, 'b') + "</html>"};
  writeBytes("a.htm", pages[0]);
  writeBytes("b.htm", pages[1]);
  std::atomic<bool> done{false};
  std::atomic<int> seen{0};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      std::ifstream in("scratch.tmp", std::ios::binary);
      if (!in) continue;
      std::ostringstream bytes;
      bytes << in.rdbuf();
      const std::string got = std::move(bytes).str();
      ++seen;
      if (got != pages[0] && got != pages[1]) ++torn;
    }
  });
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(navigateAndWait(i % 2 == 0 ? "a.htm" : "b.htm"));
    EXPECT_TRUE(ebayScraper.broDocContains(&browser, "</html>", "scratch.tmp"));
  }
  done = true;
  reader.join();
  EXPECT_GT(seen, 0);
  EXPECT_EQ(torn, 0) << "of " << seen << " reads";
}

TEST_F(PageFiles, NavigateCutsTheUrlTo2998Characters) {
  // A local page whose absolute path is exactly 2998 characters long; two more characters
  // behind it would name no file at all.
  std::string path = dir_.string();
  while (2998 - path.size() > 260) {
    path += "/" + std::string(240, 'd');
    fs::create_directory(path);
  }
  path += '/';
  path.append(2998 - path.size(), 'p');
  ASSERT_EQ(path.size(), 2998u);
  writeBytes(path, "<html>long way</html>\r\n");

  ASSERT_TRUE(navigateAndWait(AnsiString(path + "XY")));
  EXPECT_EQ(browser.LocationURL(), AnsiString(path));
  EXPECT_EQ(browser.Document(), "<html>long way</html>\r\n");
}

TEST_F(PageFiles, CopyLocalFileOverwritesTheDestination) {
  writeBytes("temp.tmp", "new page\r\n");
  writeBytes("123456789.tnw", "old page, longer than the new one\r\n");
  ebayScraper.copyLocalFile("temp.tmp", "123456789.tnw");
  EXPECT_EQ(readBytes("123456789.tnw"), "new page\r\n");
  EXPECT_EQ(readBytes("temp.tmp"), "new page\r\n");
}

TEST_F(PageFiles, DeleteFilesByExtMatchesTheExtensionExactly) {
  for (const char* name : {"BID.TDL", "cancIND.TDL", "bid.tdl", "BID.Tdl", "BID.TDL.bak", "TDL",
                           "x.TDLX", "notes.txt", "README"})
    writeBytes(name, "x");
  fs::create_directory("folder.TDL");

  ebayScraper.deleteFilesByExt(".TDL");
  for (const char* gone : {"BID.TDL", "cancIND.TDL"}) EXPECT_FALSE(fs::exists(gone)) << gone;
  for (const char* kept :
       {"bid.tdl", "BID.Tdl", "BID.TDL.bak", "TDL", "x.TDLX", "notes.txt", "README", "folder.TDL"})
    EXPECT_TRUE(fs::exists(kept)) << kept;

  // An empty extension names no file: files without a dot stay.
  ebayScraper.deleteFilesByExt("");
  EXPECT_TRUE(fs::exists("README"));
  EXPECT_TRUE(fs::exists("TDL"));
}

TEST_F(PageFiles, IsWindowOpenFindsARegisteredCaption) {
  const std::string caption = "Tarnwick Refresh Data Agent probe " + std::to_string(::getpid());
  EXPECT_FALSE(ebayScraper.isWindowOpen(caption));
  {
    const WindowCaptionRegistration shown = RegisterWindowCaption(caption);
    ASSERT_TRUE(shown.IsActive());
    EXPECT_TRUE(ebayScraper.isWindowOpen(caption));
    EXPECT_FALSE(ebayScraper.isWindowOpen(caption + " "));
  }
  EXPECT_FALSE(ebayScraper.isWindowOpen(caption));
}

}  // namespace
