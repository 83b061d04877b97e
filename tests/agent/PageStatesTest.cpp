// The agent's page states in-process: the form's run started on a watch list, its own requests
// going to a port where nothing listens, and the pages handed to its browser as saved files
// (taken from the practice site, or changed from them).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TempWorkingDir.h"
#include "agent/Tnwfr.h"
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "tools/testing/PracticeSite.h"

namespace {

class PageStatesTest : public TempWorkingDir {
 protected:
  static void SetUpTestSuite() { Application->Initialize(); }
  void SetUp() override {
    TempWorkingDir::SetUp();
    std::filesystem::copy_file(std::string(FRESH_DIR) + "/dummy.htm", "dummy.htm");
    SetDialogResponder([](const DialogRequest& request) { return DefaultDialogAnswer(request); });
    setMember("tarnbuyer");
  }
  void TearDown() override {
    form_.reset();
    SetDialogResponder({});
    TempWorkingDir::TearDown();
  }
  void setMember(const std::string& member) {
    write((windows() / "tarnwick.ini").string(),
          "[hosts]\r\nitem=http://127.0.0.1:1\r\nbids=http://127.0.0.1:1\r\ntime=http://"
          "127.0.0.1:1\r\n[prefs]\r\n"
          "edtEbayMember=" +
              member + "\r\n");
  }
  static void write(const std::string& path, const std::string& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  static std::string read(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
  }
  // Starts a run on one watched row; the stall timer is kept out of the way.
  void startRun(const std::string& item, const std::string& ends, unsigned giveUpMs = 30000) {
    startRunOn(record(item, ends), giveUpMs);
  }
  static std::string record(const std::string& item, const std::string& ends) {
    return item + "\r\n0.00\r\nTitle\r\n1.00\r\n1\r\n1\r\n" + ends + "\r\nUSD\r\nIND\r\n";
  }
  void startRunOn(const std::string& watchList, unsigned giveUpMs) {
    write("lvshowall.txt", watchList);
    form_ = std::make_unique<TfrmRefresh>(nullptr);
    form_->OnClose = [this](TObject*, TCloseAction&) { closed_ = true; };
    form_->tmrBroStall->SetInterval(600000);
    form_->GiveUpTimer->SetInterval(giveUpMs);
    form_->beginRun();
  }
  // Hands a page to the agent's browser as a saved file and lets its events run.
  void deliver(const std::string& page) {
    write("served.htm", page);
    form_->broRefresh->Navigate(QDir::currentPath().toStdString() + "/served.htm");
    settle([] { return false; }, 500);
  }
  static bool settle(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      if (done()) return true;
    }
    return done();
  }
  // Line 6 (the state) of the only record of "newgrid.lv".
  static std::string gridState() {
    std::string text = read("newgrid.lv");
    for (int line = 0; line < 5 && !text.empty(); ++line) text.erase(0, text.find("\r\n") + 2);
    return text.substr(0, text.find("\r\n"));
  }
  // "newgrid.lv" as the agent writes the watch list's records back unchanged.
  static std::string gridOf(const std::string& watchList) {
    const QStringList lines = QString::fromStdString(watchList).split("\r\n");
    std::string grid;
    for (qsizetype first = 0; first + 9 <= lines.size(); first += 9)
      for (int line : {0, 2, 3, 4, 5, 6, 1, 7, 8})
        grid += lines[first + line].toStdString() + "\r\n";
    return grid;
  }
  static std::string sitePage(const std::string& target) {
    static tarnwick::tools::PracticeSite site;
    return site.get(target).body;
  }
  static std::string itemPage(const std::string& item) {
    return sitePage("/ws/eBayISAPI.dll?ViewItem&item=" + item);
  }
  static std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  }

  std::unique_ptr<TfrmRefresh> form_;
  bool closed_ = false;
};

TEST_F(PageStatesTest, ItemPagesThatAreAndAreNotRecognised) {
  struct Case {
    const char* name;
    std::string item;
    std::string page;
    const char* member;
    const char* state;  // nullptr: not recognised
  };
  const std::string live = itemPage("220000000101");
  const Case cases[] = {
      {"live", "220000000101", live, "tarnbuyer", "ACTIVE"},
      {"cut before </html>", "220000000101", replaced(live, "</html>", ""), "tarnbuyer", nullptr},
      {"other character before the quote", "220000000101",
       replaced(live, "subtitle\">Ready", "subtitlX\">Ready"), "tarnbuyer", nullptr},
      {"another item's page", "220000000102", live, "tarnbuyer", nullptr},
      // A relocation to the page of an item whose number holds this one is no page of this
      // item, live or ended.
      {"page of a longer number", "2200000001", live, "tarnbuyer", nullptr},
      {"ended page of a longer number", "2200000004", itemPage("220000000401"), "tarnbuyer",
       nullptr},
      {"won", "220000000401", itemPage("220000000401"), "tarnbuyer", "WON"},
      {"lost", "220000000402", itemPage("220000000402"), "tarnbuyer", "LOST"},
      // No member id and a page that names no winner: that is no win.
      {"no winner, no member", "220000000401",
       replaced(itemPage("220000000401"), "Winning bidder:", "Winner:"), "", "LOST"},
      // An ended page that names no winning bidder (a high bidder below the reserve) is no
      // win, whoever else the page links to.
      {"high bidder, no winner", "220000000401",
       replaced(itemPage("220000000401"), "Winning bidder:", "High bidder:"), "tarnbuyer", "LOST"},
      {"winner link names nobody, no member", "220000000401",
       replaced(itemPage("220000000401"), "userid=tarnbuyer&", "userid=&"), "", "LOST"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove("newgrid.lv");
    std::filesystem::remove(c.item + ".tnw");
    closed_ = false;
    setMember(c.member);
    startRun(c.item, "2 days");
    deliver(c.page);
    if (c.state == nullptr) {
      EXPECT_FALSE(closed_);
      EXPECT_FALSE(std::filesystem::exists(c.item + ".tnw"));
      continue;
    }
    ASSERT_TRUE(settle([this] { return closed_; }, 3000));
    EXPECT_EQ(gridState(), c.state);
    EXPECT_TRUE(std::filesystem::exists(c.item + ".tnw"));
    EXPECT_FALSE(std::filesystem::exists("refresh.tmp"));
    EXPECT_FALSE(std::filesystem::exists("temp.tmp"));
  }
}

TEST_F(PageStatesTest, StallTickAfterAHandledPageAsksForTheBlankPage) {
  std::filesystem::rename("dummy.htm", "dummy.away");  // the blank page cannot come yet
  startRun("220000000101", "2 days");
  deliver(itemPage("220000000101"));
  ASSERT_TRUE(std::filesystem::exists("220000000101.tnw"));
  EXPECT_FALSE(closed_);
  std::filesystem::rename("dummy.away", "dummy.htm");
  form_->tmrBroStallTimer(nullptr);
  EXPECT_TRUE(settle([this] { return closed_; }, 3000));
  EXPECT_EQ(gridState(), "ACTIVE");
}

TEST_F(PageStatesTest, StallTickAfterAHandledBidHistoryAsksForTheBlankPage) {
  std::filesystem::rename("dummy.htm", "dummy.away");
  startRun("220000000501", "ENDED - LOT");
  deliver(sitePage("/ws/eBayISAPI.dll?ViewBids&item=220000000501"));
  ASSERT_TRUE(std::filesystem::exists("220000000501.dsp"));
  std::filesystem::rename("dummy.away", "dummy.htm");
  form_->tmrBroStallTimer(nullptr);
  EXPECT_TRUE(settle([this] { return closed_; }, 3000));
  EXPECT_EQ(gridState(), "WON -2-");
}

TEST_F(PageStatesTest, BidHistoryOfALongerNumberIsNotThisItems) {
  startRun("2200000005", "ENDED - LOT");
  deliver(sitePage("/ws/eBayISAPI.dll?ViewBids&item=220000000501"));
  EXPECT_FALSE(closed_);
  EXPECT_FALSE(std::filesystem::exists("2200000005.dsp"));
}

// A row whose page makes no progress is given up and stays as it was, and the pass goes on;
// when the row after it makes none either, the site is not answering: the item pass ends there,
// and the run writes every row, those after it as they were. (The hosts here are a port where
// nothing listens.)
TEST_F(PageStatesTest, RowWithoutProgressIsSkippedAndASecondInARowEndsThePassKeepingTheRows) {
  startRun("220000000101", "2 days", 300);
  ASSERT_TRUE(settle([this] { return closed_; }, 5000));
  EXPECT_EQ(gridState(), "2 days");

  // The row after a skipped one that comes whole is refreshed.
  closed_ = false;
  startRunOn(record("220000000999", "2 days") + record("220000000101", "1 days"), 1500);
  ASSERT_TRUE(settle([this] { return form_->GetcurrIndex() == 1; }, 5000));
  deliver(itemPage("220000000101"));
  ASSERT_TRUE(settle([this] { return closed_; }, 5000));
  const QStringList lines = QString::fromStdString(read("newgrid.lv")).split("\r\n");
  ASSERT_GE(lines.size(), 18);
  EXPECT_EQ(lines[5], "2 days");
  EXPECT_EQ(lines[9 + 5], "ACTIVE");

  closed_ = false;
  const std::string asTheyWere =
      record("220000000101", "2 days") + record("220000000102", "2 days");
  startRunOn(asTheyWere, 300);
  ASSERT_TRUE(settle([this] { return closed_; }, 5000));
  EXPECT_EQ(read("newgrid.lv"), gridOf(asTheyWere));
}

// A row is given up, or left as it was, as it was when its page was asked for, whatever a
// handling cut short left in it: here an ended page whose page file cannot be written (a
// folder has its name) leaves no "ENDED" behind, whether the give-up timer ends the row, the
// site then says the item is unknown, or two whole pages that are not the item's come.
TEST_F(PageStatesTest, RowGivenUpOrLeftIsWrittenAsItWasAskedFor) {
  struct Case {
    const char* name;
    unsigned giveUpMs;  // long where the pages that follow must end the row
    std::vector<std::string> thenDelivered;
  };
  const Case cases[] = {
      {"given up", 1000, {}},
      {"invalid item", 600000, {itemPage("220000000999")}},
      {"pages that cannot be used", 600000, {itemPage("220000000101"), itemPage("220000000101")}},
  };
  std::filesystem::create_directory("220000000401.tnw");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove("newgrid.lv");
    closed_ = false;
    startRun("220000000401", "12m 05s", c.giveUpMs);
    deliver(itemPage("220000000401"));
    EXPECT_FALSE(closed_);
    for (const std::string& page : c.thenDelivered) deliver(page);
    ASSERT_TRUE(settle([this] { return closed_; }, 5000));
    EXPECT_EQ(gridState(), "12m 05s");
  }
}

// Against the practice site: a win and an ended multi-quantity auction are read, then two
// rows in a row hang. The item pass ends there, the rows after them keep theirs, and the bid
// histories of the rows left "ENDED - LOT" are still read, this run's and an earlier run's.
TEST_F(PageStatesTest, ARunThatGivesUpKeepsWhatItReadAndStillReadsTheBidHistories) {
  tarnwick::tools::PracticeSite site;
  write((windows() / "tarnwick.ini").string(),
        site.hostsSection() + "[prefs]\r\nedtEbayMember=tarnbuyer\r\n");
  for (const char* item : {"220000000101", "220000000102"})
    site.control(std::string("fault=stall&page=item:") + item);
  startRunOn(record("220000000401", "ACTIVE") + record("220000000501", "ACTIVE") +
                 record("220000000101", "2 days") + record("220000000102", "2 days") +
                 record("220000000103", "25m 10s") + record("220000000502", "ENDED - LOT"),
             2500);
  ASSERT_TRUE(settle([this] { return closed_; }, 20000));
  const QStringList lines = QString::fromStdString(read("newgrid.lv")).split("\r\n");
  ASSERT_EQ(lines.size(), 6 * 9 + 1);
  const QStringList states = {lines[5],      lines[9 + 5],  lines[18 + 5],
                              lines[27 + 5], lines[36 + 5], lines[45 + 5]};
  EXPECT_EQ(states, QStringList({"WON", "WON -2-", "2 days", "2 days", "25m 10s", "LOST"}));
  EXPECT_EQ(lines[18 + 2], "1.00");  // a row given up keeps its bid too
  EXPECT_EQ(site.requestCount("/ws/eBayISAPI.dll?ViewItem&item=220000000103"), 0);
  EXPECT_EQ(site.requestCount("/ws/eBayISAPI.dll?ViewBids&item=220000000501"), 1);
  EXPECT_EQ(site.requestCount("/ws/eBayISAPI.dll?ViewBids&item=220000000502"), 1);
}

// Against the practice site, with a give-up time of two seconds: a page that keeps coming (a
// part of it each second) is waited for past that time until it is whole; one that would keep
// coming past its time in all (four give-up times) keeps its row as it was, and the pass goes
// on with the next row, which is read.
TEST_F(PageStatesTest, APageThatKeepsComingIsWaitedForUpToItsTimeInAll) {
  tarnwick::tools::PracticeSite site;
  write((windows() / "tarnwick.ini").string(),
        site.hostsSection() + "[prefs]\r\nedtEbayMember=tarnbuyer\r\n");
  site.control("trickle=5000&page=item:220000000101");
  site.control("trickle=60000&page=item:220000000102");
  startRunOn(record("220000000101", "2 days") + record("220000000102", "2 days") +
                 record("220000000103", "25m 10s"),
             2000);
  ASSERT_TRUE(settle([this] { return closed_; }, 40000));
  const QStringList lines = QString::fromStdString(read("newgrid.lv")).split("\r\n");
  ASSERT_EQ(lines.size(), 3 * 9 + 1);
  EXPECT_EQ(QStringList({lines[5], lines[9 + 5], lines[18 + 5]}),
            QStringList({"ACTIVE", "2 days", "ACTIVE"}));
  EXPECT_EQ(lines[2], "12.50");
  EXPECT_EQ(lines[9 + 2], "1.00");
}

// A number that names a file elsewhere, or is too long for a file name with its extension and
// the temporary's name around it, is never asked for: the row stays and the run goes on.
TEST_F(PageStatesTest, ItemNumberThatCannotNameItsPageFileIsNotAskedFor) {
  for (const std::string& item : {std::string("../220000000101"), "22" + std::string(240, '0')}) {
    closed_ = false;
    startRun(item, "2 days");
    ASSERT_TRUE(settle([this] { return closed_; }, 2000)) << item;
    EXPECT_EQ(gridState(), "2 days") << item;
  }
}

}  // namespace
