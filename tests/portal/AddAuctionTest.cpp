// Adding auctions through the real road: the main window offscreen, the item page loaded over
// HTTP from the practice auction site, the page recognised, the row and the end-time entry made,
// and the local blank page returning the browser to idle.
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>
#include <csignal>
#include <functional>

#include <sys/resource.h>

#include "PracticeSiteFixture.h"
#include "lib/IniFile.h"

namespace {

using Cells = std::vector<std::string>;

constexpr broAct idle = 1;
constexpr const char* added =
    "Auction added.  Click grid to select auction.  Right click and choose ENTER / UPDATE SNIPE "
    "AMOUNT.";

std::string itemPageTarget(const std::string& item) {
  return "/ws/eBayISAPI.dll?ViewItem&item=" + item;
}

class AddAuctionTest : public PracticeSiteFixture {
 protected:
  static void SetUpTestSuite() { startSite(); }
  void SetUp() override {
    PracticeSiteFixture::SetUp();
    TIniFile("tarnwick.ini").WriteString("hosts", "item", site_->baseUrl().c_str());
    ASSERT_TRUE(QFile::copy(TARN11_DIR "/dummy.htm", workPath("dummy.htm")));
    frmMain->edtEbayMember->SetText("tarnbuyer");
  }

  // Types the item number, presses OK and waits until the blank page has returned the browser
  // to idle.
  void add(const std::string& typed) {
    frmMain->edtNewItem->SetText(typed.c_str());
    frmMain->btnEnterItemNum->Click();
    ASSERT_TRUE(pumpUntil([] { return frmMain->GetcurrBroAction() == idle; })) << typed;
  }
  static TListItem* row(const std::string& item) {
    return findRowByCaption(frmMain->lvShowAll, item.c_str());
  }
  // Types the item number and presses OK, then waits until the site has answered its page
  // requests times, and a little more for the browser to take the answer in.
  void startAdd(const std::string& item, int requests = 1) {
    frmMain->edtNewItem->SetText(item.c_str());
    frmMain->btnEnterItemNum->Click();
    ASSERT_TRUE(pumpUntil([&] { return site_->requestCount(itemPageTarget(item)) >= requests; }));
    pumpUntil([] { return false; }, 300);
  }
  // An add road that ended without adding: the browser idle, the busy panel hidden, the Main
  // page shown, both lists empty and no saved copy of the page left.
  void expectAddEndedWithNothingAdded() const {
    EXPECT_EQ(frmMain->GetcurrBroAction(), idle);
    EXPECT_FALSE(frmMain->GetdoBrowserRetry());
    EXPECT_FALSE(frmMain->pnlPleaseWait->Visible());
    EXPECT_EQ(frmMain->PageControl1->ActivePage(), frmMain->tsShowAll);
    EXPECT_EQ(frmMain->lvShowAll->Items()->Count(), 0);
    EXPECT_EQ(frmMain->lvAllTdate->Items()->Count(), 0);
    EXPECT_FALSE(QFile::exists(workPath("temp.tmp")));
  }
  // Runs one tick of the schedule on a clock moved on by seconds.
  static void tickAfter(int seconds) {
    const TDateTime later = Now() + seconds * OneSecond;
    SetClock([later] { return later; });
    frmMain->tmrDynaTimerTimer(nullptr);
    SetClock({});
  }
};

TEST_F(AddAuctionTest, LiveAuctionBecomesARowAndAnEndTimeEntry) {
  frmMain->edtEbayMember->SetText("");
  add("220 000 000 101");

  EXPECT_EQ(frmMain->edtNewItem->Text().str(), "220000000101");
  ASSERT_EQ(boxTexts(),
            (Cells{"No eBay ID is entered.  Use preferences tab to enter eBay ID.", added}));
  EXPECT_EQ(boxes_[0].type, mtWarning);
  EXPECT_EQ(boxes_[1].type, mtInformation);
  ASSERT_EQ(frmMain->lvShowAll->Items()->Count(), 1);
  EXPECT_EQ(cellsOf(frmMain->lvShowAll->Items()->Item(0)),
            (Cells{"220000000101", "0.00", "Practice USD auction ending in two days", "12.50", "7",
                   "1", "1 days", "USD", "IND"}));

  ASSERT_EQ(frmMain->lvAllTdate->Items()->Count(), 1);
  const Cells entry = cellsOf(frmMain->lvAllTdate->Items()->Item(0));
  ASSERT_EQ(entry.size(), 3u);
  EXPECT_EQ(entry[0], "220000000101");
  EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                  .match(QString::fromStdString(entry[1]))
                  .hasMatch())
      << entry[1];
  EXPECT_EQ(entry[2], "1");
  EXPECT_EQ(readFile(workPath("lvAllTdate.txt")),
            QByteArray::fromStdString(entry[0] + "\r\n" + entry[1] + "\r\n1\r\n"));
  EXPECT_TRUE(readFile(workPath("220000000101.tnw")).contains("Ready to bid"));
  EXPECT_FALSE(QFile::exists(workPath("temp.tmp")));

  EXPECT_EQ(frmMain->GetpanStat(), 0);
  EXPECT_FALSE(frmMain->GetdoBrowserRetry());
  EXPECT_EQ(frmMain->PageControl1->ActivePage(), frmMain->tsShowAll);
  EXPECT_EQ(site_->requestCount(itemPageTarget("220000000101")), 1);
}

TEST_F(AddAuctionTest, AddingAWatchedAuctionAgainUpdatesOnlyCurrentBidsAndEnds) {
  add("220000000101");
  TListItem* watched = row("220000000101");
  ASSERT_NE(watched, nullptr);
  setCellText(watched, siSnipeAmount, "5.00");
  setCellText(watched, siQuantity, "2");
  const Cells entryBefore = cellsOf(frmMain->lvAllTdate->Items()->Item(0));
  site_->control("item=220000000101&bid=20.00&bids=9&ends_in=5400");

  add("220000000101");
  EXPECT_EQ(frmMain->lvShowAll->Items()->Count(), 1);
  EXPECT_EQ(cellsOf(watched),
            (Cells{"220000000101", "5.00", "Practice USD auction ending in two days", "20.00", "9",
                   "2", "1h 29m", "USD", "IND"}));
  ASSERT_EQ(frmMain->lvAllTdate->Items()->Count(), 1);
  EXPECT_EQ(cellsOf(frmMain->lvAllTdate->Items()->Item(0)), entryBefore);
  EXPECT_EQ(boxTexts(), (Cells{added, added}));
}

// An end-time entry outlives its row when the program ends after the add wrote the end-time
// list but before it wrote the watch list. Adding the auction again keeps that entry and its
// status: one entry, so the auction is handed to the sniper once, and not again if it was.
TEST_F(AddAuctionTest, AddingAnAuctionWhoseEntryOutlivedItsRowKeepsThatEntry) {
  for (const char* status : {"0", "1"}) {
    SCOPED_TRACE(status);
    frmMain->lvShowAll->Items()->Clear();
    frmMain->lvAllTdate->Items()->Clear();
    addRow(frmMain->lvAllTdate, {"220000000101", "01/01/27 00:00:00", status});
    add("220000000101");
    ASSERT_NE(row("220000000101"), nullptr);
    ASSERT_EQ(frmMain->lvAllTdate->Items()->Count(), 1);
    const Cells entry = cellsOf(frmMain->lvAllTdate->Items()->Item(0));
    ASSERT_EQ(entry.size(), 3u);
    EXPECT_NE(entry[1], "01/01/27 00:00:00");  // the page's end time
    EXPECT_EQ(entry[2], status);
    EXPECT_EQ(readFile(workPath("lvAllTdate.txt")),
              QByteArray::fromStdString(entry[0] + "\r\n" + entry[1] + "\r\n" + status + "\r\n"));
  }
}

// A watched auction whose end is not known (no end-time entry, or one whose end does not read)
// gets its entry from the page when it is added again, its dispatch status kept. An entry whose
// end is a state word, while the page shows the auction live, gets the page's end too and waits
// for the sniper: the check marked it handed over without handing it over. An entry that is
// fine stays as it was.
TEST_F(AddAuctionTest, AddingAgainMakesAnEndTimeEntryWhoseEndIsNotKnown) {
  struct Case {
    Cells entryBefore;  // empty: none
    bool repaired;
    const char* statusAfter = nullptr;  // null: the status before, "1" for a new entry
  };
  const Case cases[] = {
      {{}, true},
      {{"220000000101", "soon", "1"}, true},
      {{"220000000101", "", "0"}, true},
      {{"220000000101", "01/01/27 00:00:00", "0"}, false},
      {{"220000000101", "ENDED", "1"}, true, "1"},
      {{"220000000101", "ENDED", "0"}, true, "1"},
      {{"220000000101", "WON -2-", "0"}, true, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entryBefore.empty() ? "none" : c.entryBefore[1] + "/" + c.entryBefore[2]);
    frmMain->lvShowAll->Items()->Clear();
    frmMain->lvAllTdate->Items()->Clear();
    QFile::remove(workPath("lvAllTdate.txt"));
    boxes_.clear();
    setCellText(addWatched("220000000101"), siSnipeAmount, "5.00");
    if (!c.entryBefore.empty()) addRow(frmMain->lvAllTdate, c.entryBefore);
    add("220000000101");
    EXPECT_EQ(boxTexts(), Cells{added});
    ASSERT_EQ(frmMain->lvAllTdate->Items()->Count(), 1);
    const Cells entry = cellsOf(frmMain->lvAllTdate->Items()->Item(0));
    ASSERT_EQ(entry.size(), 3u);
    if (!c.repaired) {
      EXPECT_EQ(entry, c.entryBefore);
      continue;
    }
    TDateTime end;
    EXPECT_TRUE(TryStrToDateTime(entry[1].c_str(), end)) << entry[1];
    EXPECT_EQ(entry[2], c.statusAfter           ? c.statusAfter
                        : c.entryBefore.empty() ? "1"
                                                : c.entryBefore[2]);
    EXPECT_EQ(readFile(workPath("lvAllTdate.txt")),
              QByteArray::fromStdString(entry[0] + "\r\n" + entry[1] + "\r\n" + entry[2] + "\r\n"));
    EXPECT_EQ(cellText(row("220000000101"), siSnipeAmount).str(), "5.00");
  }

  // A page whose end does not read cannot make the entry: it is refused as a new add is, and
  // the row stays as it was.
  frmMain->lvShowAll->Items()->Clear();
  frmMain->lvAllTdate->Items()->Clear();
  QFile::remove(workPath("lvAllTdate.txt"));
  boxes_.clear();
  const Cells before = cellsOf(addWatched("220000000101"));
  site_->control("item=220000000101&end_text=&bid=20.00");
  add("220000000101");
  EXPECT_EQ(boxTexts(), Cells{"Auction 220000000101 not added: its end time cannot be read from "
                              "its page."});
  EXPECT_EQ(cellsOf(row("220000000101")), before);
  EXPECT_EQ(frmMain->lvAllTdate->Items()->Count(), 0);
  EXPECT_FALSE(QFile::exists(workPath("lvAllTdate.txt")));
}

// Under an hour the Ends text is minutes and seconds, read from the end-time entry.
// An added auction is in "lvshowall.txt" at once, the ended one that is added without an end
// time too: a kill right after the add loses neither.
TEST_F(AddAuctionTest, AddedAuctionsAreSavedAtOnce) {
  add("220000000101");
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).startsWith("220000000101\r\n0.00\r\n"));
  add("220000000402");
  EXPECT_TRUE(
      readFile(workPath("lvshowall.txt"))
          .endsWith("220000000402\r\n0.00\r\nauction prior close\r\n\r\n\r\n\r\nLOST\r\n\r\n"
                    "IND\r\n"));
}

TEST_F(AddAuctionTest, AuctionEndingWithinTheHourShowsMinutesAndSeconds) {
  add("220000000103");
  const std::string ends = cellText(row("220000000103"), siEnds).str();
  EXPECT_TRUE(
      QRegularExpression("^(29|30)m \\d\\ds$").match(QString::fromStdString(ends)).hasMatch())
      << ends;
}

// An auction whose end has passed while its page still shows it live shows no time to go,
// however long ago it ended, whether it is added or added again.
TEST_F(AddAuctionTest, LiveAuctionWhoseEndHasPassedShowsNoTimeToGo) {
  for (const int endedAgo : {100, 3 * 3600, 2 * 86400}) {
    SCOPED_TRACE(endedAgo);
    frmMain->lvShowAll->Items()->Clear();
    frmMain->lvAllTdate->Items()->Clear();
    site_->control("item=220000000102&state=live&ends_in=-" + std::to_string(endedAgo));
    for (int time = 0; time < 2; ++time) {
      add("220000000102");
      EXPECT_EQ(cellText(row("220000000102"), siEnds).str(), "00m 00s");
    }
  }
}

TEST_F(AddAuctionTest, PagesThatAreNotBiddableTakeTheirRoads) {
  struct Case {
    const char* item;
    bool watchedBefore;
    Cells boxes;
    Cells rowAfter;  // empty: no row
    const char* member = "tarnbuyer";
  };
  const Case cases[] = {
      {"220000000301", false, {"Auction is fixed price. Snipe not possible."}, {}},
      {"220000000999", false, {"Item not found"}, {}},
      // An ended auction not watched yet gets its result as a watched one does.
      {"220000000401",
       false,
       {},
       {"220000000401", "0.00", "auction prior close", "", "", "", "WON", "", "IND"}},
      {"220000000402",
       false,
       {},
       {"220000000402", "0.00", "auction prior close", "", "", "", "LOST", "", "IND"}},
      {"220000000501",
       false,
       {},
       {"220000000501", "0.00", "auction prior close", "", "", "", "ENDED - LOT", "", "IND"}},
      {"220000000401",
       true,
       {},
       {"220000000401", "0.00", "Title 220000000401", "12.50", "7", "1", "WON", "USD", "IND"}},
      {"220000000402",
       true,
       {},
       {"220000000402", "0.00", "Title 220000000402", "12.50", "7", "1", "LOST", "USD", "IND"}},
      // Without a member id the searched text is "userid=&", which no page holds.
      {"220000000401",
       true,
       {"No eBay ID is entered.  Use preferences tab to enter eBay ID."},
       {"220000000401", "0.00", "Title 220000000401", "12.50", "7", "1", "LOST", "USD", "IND"},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.item) + (c.watchedBefore ? " watched" : ""));
    frmMain->lvShowAll->Items()->Clear();
    frmMain->lvAllTdate->Items()->Clear();
    boxes_.clear();
    if (c.watchedBefore) addWatched(c.item);
    frmMain->edtEbayMember->SetText(c.member);

    add(c.item);
    EXPECT_EQ(boxTexts(), c.boxes);
    if (!boxes_.empty()) {
      EXPECT_EQ(boxes_[0].type, c.boxes[0].rfind("Auction is fixed", 0) == 0 ? mtError : mtWarning);
    }
    if (c.rowAfter.empty()) {
      EXPECT_EQ(frmMain->lvShowAll->Items()->Count(), 0);
    } else {
      ASSERT_EQ(frmMain->lvShowAll->Items()->Count(), 1);
      EXPECT_EQ(cellsOf(frmMain->lvShowAll->Items()->Item(0)), c.rowAfter);
    }
    EXPECT_EQ(frmMain->lvAllTdate->Items()->Count(), 0);
    EXPECT_FALSE(QFile::exists(workPath(QString(c.item) + ".tnw")));
    // The blank page's arrival deletes the saved document on every road.
    EXPECT_FALSE(QFile::exists(workPath("temp.tmp")));
    EXPECT_EQ(frmMain->GetpanStat(), 0);
  }
}

// The page file and the row are named from the item being added, not from what the box holds
// by the time the page arrives.
TEST_F(AddAuctionTest, EditingTheBoxWhileThePageLoadsDoesNotRenameTheItem) {
  site_->control("delay=800&page=item:220000000102");
  frmMain->edtNewItem->SetText("220000000102");
  frmMain->btnEnterItemNum->Click();
  frmMain->edtNewItem->SetText("220000000103");
  ASSERT_TRUE(pumpUntil([] { return frmMain->GetcurrBroAction() == idle; }));
  EXPECT_EQ(captionsOf(frmMain->lvShowAll), Cells{"220000000102"});
  EXPECT_TRUE(QFile::exists(workPath("220000000102.tnw")));
  EXPECT_FALSE(QFile::exists(workPath("220000000103.tnw")));
}

// A failed write of the end-time file loses nothing: the row is whole, the entry stays in
// memory and the browser still returns to idle.
TEST_F(AddAuctionTest, EndTimeFileThatCannotBeWrittenIsToldAndStillCompletesTheAdd) {
  QDir().mkpath(workPath("lvAllTdate.txt"));
  add("220000000101");
  ASSERT_NE(row("220000000101"), nullptr);
  EXPECT_EQ(row("220000000101")->SubItems()->Count(), watchListSubItems);
  EXPECT_EQ(cellText(row("220000000101"), siGroup).str(), "IND");
  EXPECT_EQ(captionsOf(frmMain->lvAllTdate), Cells{"220000000101"});
  ASSERT_EQ(boxTexts().size(), 2u);
  EXPECT_EQ(boxTexts()[0].rfind("End-time list not saved: ", 0), 0u) << boxTexts()[0];
  EXPECT_EQ(boxTexts()[1], added);
}

// A watched auction in a group that the add road finds won lessens its group once, and the
// refreshes after it that report the same win do not lessen it again; the count and the row
// are on disk at once, so a restart does not count the win again either.
TEST_F(AddAuctionTest, WinFoundByTheAddRoadLessensItsGroupOnceWhicheverRoadComesNext) {
  frmMain->lvGroups->Items()->Clear();
  addRow(frmMain->lvGroups, {"LAMPS", "", "2"});
  TListItem* won = addWatched("220000000401", "5m 10s");
  setCellText(won, siGroup, "LAMPS");
  add("220000000401");
  EXPECT_EQ(cellText(won, siEnds).str(), "WON");
  EXPECT_EQ(cellText(findRowByCaption(frmMain->lvGroups, "LAMPS"), 1).str(), "1");
  EXPECT_TRUE(readFile(workPath("groups.tnq")).endsWith("LAMPS\r\n\r\n1\r\n"));
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).contains("\r\nWON\r\nUSD\r\nLAMPS\r\n"));
  add("220000000401");
  writeFile(workPath("newgrid.lv"),
            "220000000401\r\nT\r\n20.00\r\n9\r\n1\r\nWON\r\n0.00\r\nUSD\r\nLAMPS\r\n");
  frmMain->loadFreshGridData();
  EXPECT_EQ(cellText(findRowByCaption(frmMain->lvGroups, "LAMPS"), 1).str(), "1");
  EXPECT_TRUE(boxTexts().empty()) << boxTexts()[0];
}

// A line break in a title read from the page stays inside its cell: the row's record in
// "lvshowall.txt" keeps its nine lines.
TEST_F(AddAuctionTest, LineBreakInAScrapedTitleDoesNotSplitTheRecord) {
  site_->control("item=220000000777&state=live&ends_in=86400&title=A%0D%0Alamp%0Awith%0Dbreaks");
  add("220000000777");
  ASSERT_NE(row("220000000777"), nullptr);
  const std::string title = cellText(row("220000000777"), siTitle).str();
  EXPECT_EQ(title.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(QString::fromStdString(title).simplified(), "A lamp with breaks");
  frmCommand->btnSaveLVShowAllClick(frmCommand);
  EXPECT_EQ(readFile(workPath("lvshowall.txt")).count("\n"), 9);
}

// Without the local blank page the add road still ends: the browser is idle again, the busy
// panel hidden and the item-page retry lowered.
TEST_F(AddAuctionTest, MissingBlankPageStillEndsTheAddRoad) {
  QFile::remove(workPath("dummy.htm"));
  add("220000000101");
  EXPECT_NE(row("220000000101"), nullptr);
  EXPECT_FALSE(frmMain->GetdoBrowserRetry());
  EXPECT_FALSE(frmMain->pnlPleaseWait->Visible());
  EXPECT_FALSE(QFile::exists(workPath("temp.tmp")));
  EXPECT_EQ(boxTexts(), Cells{added});
}

// An item number that would name a file outside the working directory is refused before
// anything is requested or written.
TEST_F(AddAuctionTest, ItemNumberNamingAPathIsRefused) {
  for (const char* typed :
       {"../220000000101", "x/220000000101", "..\\220000000101", "c:220000000101"}) {
    SCOPED_TRACE(typed);
    boxes_.clear();
    const broAct before = frmMain->GetcurrBroAction();
    frmMain->edtNewItem->SetText(typed);
    frmMain->btnEnterItemNum->Click();
    EXPECT_EQ(boxTexts(), Cells{"Item not found"});
    EXPECT_EQ(frmMain->GetcurrBroAction(), before);
    EXPECT_EQ(site_->requestCount(itemPageTarget(typed)), 0);
  }
  EXPECT_EQ(frmMain->lvShowAll->Items()->Count(), 0);
}

// An ended auction is won only by the member the winner row names, the id whole and without
// regard to letter case or blanks around it; a member named elsewhere on the page (among its
// bidders) has not won. A multi-quantity listing's result is on its bid-history page, which
// the agent reads.
TEST_F(AddAuctionTest, EndedAuctionIsWonByTheWinnerRowOnly) {
  struct Case {
    const char* item;
    const char* member;
    const char* state;
  };
  site_->control("item=220000000402&history=tarnbuyer:1,rival_bidder_77:1");
  site_->control("item=220000000403&state=ended&winner=tarnbuyer2&ends_in=-3600");
  const Case cases[] = {
      {"220000000402", "tarnbuyer", "LOST"},
      {"220000000401", " TarnBuyer ", "WON"},
      {"220000000403", "tarnbuyer", "LOST"},
      {"220000000501", "tarnbuyer", "ENDED - LOT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    frmMain->lvShowAll->Items()->Clear();
    addWatched(c.item);
    frmMain->edtEbayMember->SetText(c.member);
    add(c.item);
    EXPECT_EQ(cellText(row(c.item), siEnds).str(), c.state);
  }
  EXPECT_TRUE(boxTexts().empty()) << boxTexts()[0];
}

// A page that never comes whole (the server fails, drops the connection, or the page stops
// short), or that is another item's (a redirection), puts nothing into the list. The add road
// asks again at the retry, two minutes on, and gives up once that request has failed too: the
// user is told which item could not be loaded, the browser is idle again and the schedule goes
// on.
TEST_F(AddAuctionTest, PageThatNeverComesWholeEndsTheAddAfterItsRetry) {
  const std::string item = "220000000102";
  const std::string elsewhere =
      "location=" +
      QUrl::toPercentEncoding(QString::fromStdString(itemPageTarget("220000000101"))).toStdString();
  for (const std::string& fault :
       std::vector<std::string>{"status500", "drop", "truncate", "redirect&" + elsewhere}) {
    SCOPED_TRACE(fault);
    site_->control("reset=all");
    site_->control("page=item:" + item + "&fault=" + fault);
    frmMain->lvShowAll->Items()->Clear();
    frmMain->lvAllTdate->Items()->Clear();
    boxes_.clear();
    startAdd(item);
    EXPECT_EQ(frmMain->GetcurrBroAction(), 5);
    tickAfter(60);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_TRUE(frmMain->GetdoBrowserRetry());
    tickAfter(125);
    ASSERT_TRUE(pumpUntil([&] { return site_->requestCount(itemPageTarget(item)) >= 2; }));
    pumpUntil([] { return false; }, 300);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_EQ(frmMain->GetcurrBroAction(), 5);
    tickAfter(245);
    EXPECT_EQ(boxTexts(), Cells{"The page of item " + item +
                                " could not be loaded. Try adding the auction again later."});
    expectAddEndedWithNothingAdded();
  }
}

// A page that came but cannot be saved (a full disk: a file size limit stands in for it; or a
// folder where the page file goes) ends the add at once with the reason, instead of waiting
// for a retry that could not be saved either: nothing is added and the browser is idle.
TEST_F(AddAuctionTest, PageThatCannotBeSavedEndsTheAddAtOnceSayingWhy) {
  struct Case {
    bool fullDisk;
    const char* reason;
  };
  for (const Case& c : {Case{true, "Cannot write temp.tmp: File too large"},
                        Case{false, "Cannot replace 220000000101.tnw: Is a directory"}}) {
    SCOPED_TRACE(c.reason);
    boxes_.clear();
    QDir(work_).rmdir("220000000101.tnw");
    if (!c.fullDisk) QDir().mkpath(workPath("220000000101.tnw"));
    const auto previousSignal = signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit full = previous;
    full.rlim_cur = 1000;  // below the page's size
    if (c.fullDisk) setrlimit(RLIMIT_FSIZE, &full);
    startAdd("220000000101");
    pumpUntil([&] { return !boxes_.empty(); }, 2000);
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousSignal);

    EXPECT_EQ(boxTexts(),
              Cells{std::string("The page of item 220000000101 could not be saved: ") + c.reason});
    expectAddEndedWithNothingAdded();
  }
}

// An end time that does not read is never taken for "now": the auction is not added, and the
// user is told which one and why.
TEST_F(AddAuctionTest, PageWhoseEndTimeDoesNotReadIsNotAdded) {
  for (const char* shown : {"Dec-1-26%201:00:00", ""}) {
    SCOPED_TRACE(shown);
    boxes_.clear();
    site_->control(std::string("item=220000000101&end_text=") + shown);
    add("220000000101");
    EXPECT_EQ(boxTexts(), Cells{"Auction 220000000101 not added: its end time cannot be read "
                                "from its page."});
    EXPECT_EQ(frmMain->lvShowAll->Items()->Count(), 0);
    EXPECT_EQ(frmMain->lvAllTdate->Items()->Count(), 0);
    EXPECT_FALSE(QFile::exists(workPath("lvAllTdate.txt")));
  }
}

// A watched auction whose page no longer gives a readable end keeps its end-time entry, and
// its Ends text comes from that entry.
TEST_F(AddAuctionTest, WatchedAuctionWhosePageLostItsEndKeepsItsEntry) {
  add("220000000101");
  const Cells entry = cellsOf(frmMain->lvAllTdate->Items()->Item(0));
  site_->control("item=220000000101&end_text=");
  add("220000000101");
  EXPECT_EQ(cellsOf(frmMain->lvAllTdate->Items()->Item(0)), entry);
  EXPECT_EQ(cellText(row("220000000101"), siEnds).str(), "1 days");
}

}  // namespace
