#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTextEdit>
#include <memory>
#include <utility>
#include <vector>

#include "TempWorkingDir.h"
#include "TestHttpServer.h"
#include "browser/CppWebBrowser.h"

namespace {

// An item page with the no-break space (0xA0) the scraping markers rely on, CR LF lines and a
// byte that is not valid UTF-8 on its own.
const std::string kItemPage =
    "<html><title>Lamp (item 123 end time Dec-08-26 06:43:33 PST)</title>\r\n"
    "Current bid:</td><td>US $12.50</td>\r\n(Enter US $13.00\xA0<b>or more</b>)\r\n"
    "Caf\xE9 \x80 5</html>\r\n";

class Browser : public TempWorkingDir {
 protected:
  void SetUp() override {
    TempWorkingDir::SetUp();
    server.Serve("/item", TestHttpServer::Reply::Page(200, kItemPage));
    server.Serve("/other", TestHttpServer::Reply::Page(200, "<html>other page</html>"));
    server.Serve("/slow", TestHttpServer::Reply::Page(200, "<html>slow page</html>", 400));
    browser = std::make_unique<TCppWebBrowser>(nullptr, nullptr);
    browser->OnNavigateComplete2 = [this](TObject* sender, const AnsiString& url) {
      Record(sender, "NavigateComplete2 " + url.str());
    };
    browser->OnDownloadComplete = [this](TObject* sender) { Record(sender, "DownloadComplete"); };
    browser->OnDocumentComplete = [this](TObject* sender, const AnsiString& url) {
      Record(sender, "DocumentComplete " + url.str());
    };
  }
  void TearDown() override {
    browser.reset();
    TempWorkingDir::TearDown();
  }

  void Record(TObject* sender, const std::string& event) {
    EXPECT_EQ(sender, browser.get());
    EXPECT_FALSE(browser->Busy()) << event;
    events.push_back(event);
  }

  // Runs the event loop until the condition holds (true) or the time is up (false).
  static bool Pump(const std::function<bool()>& condition, int limitMs = 5000) {
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    while (!condition()) {
      if (elapsed.elapsed() > limitMs) return false;
      loop.processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
  }
  // Runs the event loop for a while, for loads that must not complete.
  static void PumpFor(int ms) {
    Pump([] { return false; }, ms);
  }

  bool LoadCompletes(const std::string& url) {
    size_t before = events.size();
    browser->Navigate(url.c_str());
    return Pump([&] { return events.size() >= before + 3; }) && events.size() == before + 3;
  }

  static std::vector<std::string> EventsOf(const std::string& url) {
    return {"NavigateComplete2 " + url, "DownloadComplete", "DocumentComplete " + url};
  }

  TestHttpServer server;
  std::unique_ptr<TCppWebBrowser> browser;
  std::vector<std::string> events;
};

TEST_F(Browser, LoadFiresItsThreeEventsInOrderFromTheEventLoopAndSavesTheExactBytes) {
  EXPECT_FALSE(browser->Busy());
  std::string url = server.Url("/item");
  browser->Navigate(url.c_str());
  EXPECT_TRUE(browser->Busy());
  EXPECT_TRUE(events.empty());  // nothing fires inside Navigate
  ASSERT_TRUE(Pump([&] { return events.size() == 3; }));
  EXPECT_EQ(events, EventsOf(url));
  EXPECT_FALSE(browser->Busy());
  EXPECT_EQ(browser->Document().str(), kItemPage);
  EXPECT_EQ(browser->LocationURL().str(), url);
  ASSERT_TRUE(browser->SaveDocument("temp.tmp"));
  EXPECT_EQ(ReadFile("temp.tmp"), kItemPage);
  // The page is shown, decoded from Windows-1252.
  auto* view = qobject_cast<QTextEdit*>(browser->widget());
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->toPlainText().contains(QString::fromUtf8("Café € 5")));
}

TEST_F(Browser, WithoutADocumentNothingIsSavedAndAnOldFileStays) {
  WriteFile("temp.tmp", "old");
  EXPECT_FALSE(browser->HasDocument());
  EXPECT_FALSE(browser->SaveDocument("temp.tmp"));
  EXPECT_FALSE(browser->SaveDocument("new.tmp"));
  EXPECT_EQ(ReadFile("temp.tmp"), "old");
  EXPECT_FALSE(std::filesystem::exists("new.tmp"));
}

TEST_F(Browser, OnlyTheLatestOfSeveralRequestsCompletes) {
  browser->Navigate(server.Url("/slow").c_str());
  for (int i = 0; i < 5; ++i) browser->Navigate(server.Url("/other").c_str());
  ASSERT_TRUE(Pump([&] { return events.size() >= 3; }));
  PumpFor(700);  // long enough for the slow page to have arrived
  EXPECT_EQ(events, EventsOf(server.Url("/other")));
  EXPECT_EQ(browser->Document().str(), "<html>other page</html>");
}

TEST_F(Browser, StopDropsThePendingLoadAndKeepsTheOldDocument) {
  ASSERT_TRUE(LoadCompletes(server.Url("/item")));
  events.clear();
  browser->Navigate(server.Url("/slow").c_str());
  EXPECT_EQ(browser->Document().str(), kItemPage);  // the old page until the next one completes
  browser->Stop();
  EXPECT_FALSE(browser->Busy());
  PumpFor(700);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(browser->Document().str(), kItemPage);
  // Local loads are dropped the same way.
  WriteFile("dummy.htm", "<html>blank</html>");
  browser->Navigate((work() / "dummy.htm").c_str());
  browser->Stop();
  PumpFor(100);
  EXPECT_TRUE(events.empty());
}

TEST_F(Browser, AboutBlankAndLocalFilesAreDocuments) {
  ASSERT_TRUE(LoadCompletes("about:blank"));
  EXPECT_TRUE(browser->HasDocument());
  EXPECT_EQ(browser->Document().str(), "");
  ASSERT_TRUE(browser->SaveDocument("temp.tmp"));
  EXPECT_EQ(ReadFile("temp.tmp"), "");
  const std::string dummy = "<html><body>blank\xA0page</body></html>\r\n";
  WriteFile("dummy.htm", dummy);
  for (const std::string& url : {(work() / "dummy.htm").string(), work().string() + "\\dummy.htm",
                                 "file://" + (work() / "dummy.htm").string()}) {
    ASSERT_TRUE(LoadCompletes("about:blank"));
    ASSERT_TRUE(LoadCompletes(url)) << url;
    EXPECT_EQ(events.back(), "DocumentComplete " + url);
    EXPECT_EQ(browser->Document().str(), dummy) << url;
  }
}

TEST_F(Browser, ServerRepliesOfAnyStatusAreDocuments) {
  server.Serve("/missing", TestHttpServer::Reply::Page(404, "<html>Not Found</html>"));
  server.Serve("/empty-error", TestHttpServer::Reply::Page(500, ""));
  server.Serve("/moved", TestHttpServer::Reply::Moved(server.Url("/other")));
  ASSERT_TRUE(LoadCompletes(server.Url("/missing")));
  EXPECT_EQ(browser->Document().str(), "<html>Not Found</html>");
  ASSERT_TRUE(LoadCompletes(server.Url("/empty-error")));
  EXPECT_EQ(browser->Document().str(), "");
  EXPECT_TRUE(browser->HasDocument());
  ASSERT_TRUE(LoadCompletes(server.Url("/moved")));  // a relocation is followed
  EXPECT_EQ(browser->Document().str(), "<html>other page</html>");
}

TEST_F(Browser, FailedLoadsFireNothingAndKeepTheOldDocument) {
  ASSERT_TRUE(LoadCompletes(server.Url("/item")));
  events.clear();
  QTcpServer closed;
  closed.listen(QHostAddress::LocalHost);
  std::string refused = "http://127.0.0.1:" + std::to_string(closed.serverPort()) + "/";
  closed.close();
  server.Serve("/dropped", TestHttpServer::Reply::Dropped());
  for (const std::string& url :
       {refused, server.Url("/dropped"), (work() / "no-such-file.htm").string(), work().string(),
        std::string("about:nothing"), std::string("gopher://x/"), std::string("http://"),
        std::string("http://no such host/")}) {
    browser->Navigate(url.c_str());
    EXPECT_TRUE(Pump([&] { return !browser->Busy(); })) << url;
    PumpFor(50);
    EXPECT_TRUE(events.empty()) << url;
  }
  EXPECT_EQ(browser->Document().str(), kItemPage);
}

// A pending load tells how long it has shown nothing: the count grows while the server keeps
// silent, and there is none without a pending load.
TEST_F(Browser, APendingLoadTellsHowLongItHasShownNothing) {
  server.Serve("/silent", TestHttpServer::Reply::Page(200, "<html>late</html>", 1500));
  EXPECT_EQ(browser->MsSinceProgress(), -1);
  browser->Navigate(server.Url("/silent").c_str());
  EXPECT_GE(browser->MsSinceProgress(), 0);
  EXPECT_LT(browser->MsSinceProgress(), 500);
  PumpFor(800);
  EXPECT_TRUE(browser->Busy());
  EXPECT_GE(browser->MsSinceProgress(), 500);
  ASSERT_TRUE(Pump([&] { return !browser->Busy(); }));
  EXPECT_EQ(browser->MsSinceProgress(), -1);
  EXPECT_EQ(browser->Document().str(), "<html>late</html>");
  browser->Navigate(server.Url("/silent").c_str());
  browser->Stop();
  EXPECT_EQ(browser->MsSinceProgress(), -1);
}

// Asking again keeps the request asked for first on its way: whichever of them answers first
// is the page, once, and a request that fails while another is on its way fails nothing. A
// second re-ask takes the place of the first re-ask, not of the first request.
TEST_F(Browser, AskingAgainKeepsTheFirstRequestOnItsWay) {
  using Reply = TestHttpServer::Reply;
  const auto page = [](const char* name) { return "<html>" + std::string(name) + "</html>"; };
  struct Case {
    const char* name;
    std::vector<Reply> replies;  // in the order the requests are made
    const char* answered;
  };
  const Case cases[] = {
      {"first answers first",
       {Reply::Page(200, page("first"), 600), Reply::Page(200, page("second"), 600)},
       "first"},
      {"first never answers", {Reply::Silent(), Reply::Page(200, page("second"))}, "second"},
      {"first drops", {Reply::Dropped(300), Reply::Page(200, page("second"), 700)}, "second"},
      {"second re-ask replaces the first re-ask",
       {Reply::Silent(), Reply::Page(200, page("second"), 400),
        Reply::Page(200, page("third"), 800)},
       "third"},
  };
  int failures = 0;
  browser->OnNavigateError = [&](TObject*, const AnsiString&, TNavigateFailure) { ++failures; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    events.clear();
    failures = 0;
    server.ServeInTurn("/again", c.replies);
    const std::string url = server.Url("/again");
    browser->Navigate(url.c_str());
    for (std::size_t again = 1; again < c.replies.size(); ++again) {
      PumpFor(100);
      EXPECT_TRUE(browser->RequestAgain());
    }
    ASSERT_TRUE(Pump([&] { return events.size() >= 3; }));
    PumpFor(1000);  // long enough for every other answer to have come
    EXPECT_EQ(events, EventsOf(url));
    EXPECT_EQ(browser->Document().str(), page(c.answered));
    EXPECT_EQ(failures, 0);
  }
  // Only a page on its way from a server is asked for again.
  EXPECT_FALSE(browser->RequestAgain());
  WriteFile("dummy.htm", "<html>blank</html>");
  browser->Navigate((work() / "dummy.htm").c_str());
  EXPECT_FALSE(browser->RequestAgain());
}

// Bytes of the server's answer fire OnReplyProgress, each part of a body that keeps coming;
// asking, connecting and sending the request do not.
TEST_F(Browser, TheServersAnswerShowsAsReplyProgress) {
  int progress = 0;
  browser->OnReplyProgress = [&](TObject* sender) {
    EXPECT_EQ(sender, browser.get());
    ++progress;
  };
  server.Serve("/silent", TestHttpServer::Reply::Silent());
  browser->Navigate(server.Url("/silent").c_str());
  PumpFor(500);
  EXPECT_EQ(progress, 0);
  EXPECT_TRUE(browser->RequestAgain());
  PumpFor(300);
  EXPECT_EQ(progress, 0);
  server.Serve("/trickled", TestHttpServer::Reply::Trickled(kItemPage, 4, 150));
  ASSERT_TRUE(LoadCompletes(server.Url("/trickled")));
  EXPECT_EQ(browser->Document().str(), kItemPage);
  EXPECT_GE(progress, 4);
}

// A reply or file longer than a page may be is no page: the load fails, whether the server
// says the length first or not, and the old document stays.
TEST_F(Browser, APageLongerThanTheBoundFailsToLoad) {
  const std::string whole(TCppWebBrowser::MaxDocumentBytes, 'p');
  const std::string over = whole + "p";
  server.Serve("/whole", TestHttpServer::Reply::Unsized(200, whole));
  server.Serve("/over", TestHttpServer::Reply::Page(200, over));
  server.Serve("/over-unsaid", TestHttpServer::Reply::Unsized(200, over));
  WriteFile("whole.htm", whole);
  WriteFile("over.htm", over);
  for (const std::string& url : {server.Url("/whole"), (work() / "whole.htm").string()}) {
    ASSERT_TRUE(LoadCompletes(url)) << url;
    EXPECT_EQ(browser->Document().str(), whole) << url;
  }
  ASSERT_TRUE(LoadCompletes(server.Url("/item")));
  events.clear();
  for (const std::string& url : {server.Url("/over"), server.Url("/over-unsaid"),
                                 (work() / "over.htm").string(), std::string("/dev/zero")}) {
    browser->Navigate(url.c_str());
    EXPECT_TRUE(Pump([&] { return !browser->Busy(); }, 20000)) << url;
    PumpFor(50);
    EXPECT_TRUE(events.empty()) << url;
  }
  EXPECT_EQ(browser->Document().str(), kItemPage);
}

// A failed load says once why it failed: no page came, or one longer than the bound. A load
// that is stopped or replaced says nothing; a handler may navigate again.
TEST_F(Browser, AFailedLoadSaysWhyItFailed) {
  std::vector<std::pair<std::string, TNavigateFailure>> failures;
  browser->OnNavigateError = [&](TObject* sender, const AnsiString& url, TNavigateFailure failure) {
    EXPECT_EQ(sender, browser.get());
    EXPECT_FALSE(browser->Busy());
    failures.emplace_back(url.str(), failure);
  };
  const std::string over(TCppWebBrowser::MaxDocumentBytes + 1, 'p');
  server.Serve("/over", TestHttpServer::Reply::Page(200, over));
  server.Serve("/over-unsaid", TestHttpServer::Reply::Unsized(200, over));
  server.Serve("/dropped", TestHttpServer::Reply::Dropped());
  WriteFile("over.htm", over);
  const std::string missing = (work() / "no-such-file.htm").string();
  const std::string overFile = (work() / "over.htm").string();
  for (const auto& [url, failure] : std::vector<std::pair<std::string, TNavigateFailure>>{
           {server.Url("/dropped"), TNavigateFailure::NoPage},
           {missing, TNavigateFailure::NoPage},
           {"about:nothing", TNavigateFailure::NoPage},
           {server.Url("/over"), TNavigateFailure::TooLong},
           {server.Url("/over-unsaid"), TNavigateFailure::TooLong},
           {overFile, TNavigateFailure::TooLong}}) {
    failures.clear();
    browser->Navigate(url.c_str());
    EXPECT_TRUE(Pump([&] { return !browser->Busy(); }, 20000)) << url;
    PumpFor(50);
    EXPECT_EQ(failures, (std::vector<std::pair<std::string, TNavigateFailure>>{{url, failure}}))
        << url;
  }
  failures.clear();
  browser->Navigate(missing.c_str());
  browser->Stop();
  browser->Navigate(server.Url("/dropped").c_str());
  browser->Navigate(server.Url("/item").c_str());
  ASSERT_TRUE(Pump([&] { return events.size() == 3; }));
  PumpFor(50);
  EXPECT_TRUE(failures.empty());

  // Asked again from the handler: the next load completes.
  events.clear();
  bool again = true;
  browser->OnNavigateError = [&](TObject*, const AnsiString&, TNavigateFailure) {
    if (std::exchange(again, false)) browser->Navigate(server.Url("/other").c_str());
  };
  browser->Navigate(overFile.c_str());
  ASSERT_TRUE(Pump([&] { return events.size() == 3; }));
  EXPECT_EQ(browser->Document().str(), "<html>other page</html>");
}

TEST_F(Browser, HandlersMayStopAndNavigateAgainInsideTheEvents) {
  WriteFile("dummy.htm", "<html>blank</html>");
  const std::string dummy = (work() / "dummy.htm").string();
  // As the portal does: the first event of a page stops and requests the blank page; the
  // page's remaining event still comes, and sees the page, not the blank one.
  std::vector<std::string> seen;
  browser->OnDownloadComplete = [&](TObject*) {
    seen.push_back("download " + browser->Document().str());
    if (browser->Document().str() == kItemPage) {
      browser->Stop();
      browser->Navigate(dummy.c_str());
      EXPECT_TRUE(browser->Busy());
    }
  };
  browser->OnDocumentComplete = [&](TObject*, const AnsiString&) {
    seen.push_back("document " + browser->Document().str());
  };
  browser->Navigate(server.Url("/item").c_str());
  ASSERT_TRUE(Pump([&] { return seen.size() == 4; }));
  EXPECT_EQ(seen, (std::vector<std::string>{"download " + kItemPage, "document " + kItemPage,
                                            "download <html>blank</html>",
                                            "document <html>blank</html>"}));
}

TEST_F(Browser, AHandlerMayFreeTheBrowser) {
  browser->OnNavigateComplete2 = [&](TObject*, const AnsiString&) { browser.reset(); };
  browser->OnDownloadComplete = [&](TObject*) { ADD_FAILURE() << "fired on a freed browser"; };
  browser->Navigate("about:blank");
  EXPECT_TRUE(Pump([&] { return browser == nullptr; }));
  PumpFor(50);
}

TEST_F(Browser, FreeingTheBrowserWithALoadPendingFiresNothing) {
  browser->Navigate(server.Url("/slow").c_str());
  browser.reset();
  PumpFor(600);
  EXPECT_TRUE(events.empty());
}

// A view the program hides takes no page while hidden and shows the latest one when shown.
TEST_F(Browser, AHiddenViewShowsTheLatestPageWhenShownAgain) {
  QWidget parent;
  TCppWebBrowser hidden(nullptr, &parent);
  parent.show();
  hidden.widget()->hide();
  auto* view = qobject_cast<QTextEdit*>(hidden.widget());
  ASSERT_NE(view, nullptr);
  for (const char* path : {"/item", "/other"}) {
    bool completed = false;
    hidden.OnDocumentComplete = [&](TObject*, const AnsiString&) { completed = true; };
    hidden.Navigate(server.Url(path).c_str());
    ASSERT_TRUE(Pump([&] { return completed; }));
    EXPECT_EQ(view->toPlainText(), "");
  }
  hidden.widget()->show();
  EXPECT_EQ(view->toPlainText(), "other page");
}

// A page with a long run of text without a blank (a title of a megabyte) is shown broken
// anywhere, since breaking it at word boundaries costs the square of its length; ordinary
// pages are broken at word boundaries. The run is that of the text shown: blanks inside tags,
// or no-break spaces, break nothing.
TEST_F(Browser, AShownPageWithALongUnbrokenRunIsBrokenAnywhere) {
  QWidget parent;
  TCppWebBrowser shown(nullptr, &parent);
  parent.show();
  auto* view = qobject_cast<QTextEdit*>(shown.widget());
  ASSERT_NE(view, nullptr);
  const std::string title = "<html><h1 class=\"itemTitle\">";
  server.Serve("/long-title",
               TestHttpServer::Reply::Page(200, title + std::string(1 << 20, 'T') + "</h1>"));
  std::string tagged;
  std::string joined;
  for (int i = 0; i < 5000; ++i) tagged += "<b >T</b >", joined += "T&nbsp;";
  server.Serve("/tagged-title", TestHttpServer::Reply::Page(200, title + tagged + "</h1>"));
  server.Serve("/joined-title", TestHttpServer::Reply::Page(200, title + joined + "</h1>"));
  for (const char* path : {"/long-title", "/tagged-title", "/joined-title", "/item"}) {
    bool completed = false;
    shown.OnDocumentComplete = [&](TObject*, const AnsiString&) { completed = true; };
    shown.Navigate(server.Url(path).c_str());
    ASSERT_TRUE(Pump([&] { return completed; }, 60000)) << path;
    EXPECT_EQ(view->wordWrapMode(), path == std::string("/item")
                                        ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                        : QTextOption::WrapAnywhere)
        << path;
  }
}

TEST_F(Browser, WidgetBelongsToTheGivenParentAndMayDieFirst) {
  auto parent = std::make_unique<QWidget>();
  TCppWebBrowser owned(nullptr, parent.get());
  EXPECT_EQ(owned.widget()->parentWidget(), parent.get());
  parent.reset();
  EXPECT_EQ(owned.widget(), nullptr);
}

}  // namespace
