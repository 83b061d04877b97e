// Dispatch to the sniper: the check and "Launch Sniper" against the fake tnsnip.exe as a real
// process, which records each start and keeps a byte copy of "BID.TDL" as it found it. A test
// clock stands still at a whole second, so end times are exact.
#include <QElapsedTimer>
#include <QThread>

#include "CommaLocale.h"
#include "ScheduleFixture.h"
#include "lib/IniFile.h"
#include "scraping/SiteHosts.h"
#include "tools/testing/PracticeSite.h"

namespace {

class DispatchTest : public ScheduleFixture {
 protected:
  void SetUp() override {
    ScheduleFixture::SetUp();
    tarnwick::tools::stageFakes(work_.toStdString());
    now_ = EncodeDate(2026, 12, 10) + EncodeTime(12, 0, 0, 0);
    frmMain->edtSnipeOffset->SetText("20");
    frmMain->edtEbayMember->SetText("buyer1");
    frmMain->edtEbayPass->SetText("pa ss");
    frmMain->lvGroups->Items()->Clear();
    addRow(frmMain->lvGroups, {"IND", "Bids independently of orher auction results", "1"});
  }
  void TearDown() override {
    frmMain->lvShowAll->SetSelected(nullptr);
    ScheduleFixture::TearDown();
  }
  // A watched auction with its end-time entry (status "1").
  TListItem* watched(const std::string& item, const std::string& snipe, const AnsiString& end,
                     const std::string& group = "IND") {
    TListItem* row = addRow(frmMain->lvShowAll, {item, snipe, "Title " + item, "12.50", "7", "2",
                                                 "1h 10m", "GBP", group});
    addRow(frmMain->lvAllTdate, {item, end.str(), "1"});
    return row;
  }
  static std::string statusOf(const std::string& item) {
    const TListItem* entry = findRowByCaption(frmMain->lvAllTdate, AnsiString(item.c_str()));
    return entry ? cellText(entry, siDispatchStatus).str() : "(none)";
  }
  // The lines of tnsnip.log once it holds at least `starts` lines (the fake runs detached).
  QStringList sniperStarts(int starts) {
    QElapsedTimer waited;
    waited.start();
    QStringList lines;
    do {
      lines = QString::fromLatin1(readFile(workPath("tnsnip.log"))).split('\n', Qt::SkipEmptyParts);
      if (lines.size() >= starts) break;
      QThread::msleep(50);
    } while (waited.elapsed() < 10000);
    return lines;
  }
  QStringList copiedInstructions(int start) {
    return QString::fromLatin1(readFile(workPath(QString("tnsnip.%1.BID.TDL").arg(start))))
        .split("\r\n");
  }
};

// The window is 20 minutes either side of the time to bid (end minus the 20-second offset),
// and only waiting entries with a snipe amount are due. Two due auctions are handed over one
// after the other, each with its own "BID.TDL", 3 seconds apart.
TEST_F(DispatchTest, CheckDispatchesWaitingAuctionsWithinTwentyMinutesOfTheirTimeToBid) {
  watched("101", "25.50", endIn(20 + 19 * 60 + 59));  // time to bid 19:59 ahead: due
  watched("102", "10.00", endIn(20 + 20 * 60 + 30));  // 20:30 ahead: not due
  watched("103", "30.00", endIn(20 - 10 * 60));       // 10 minutes past: due
  watched("104", "0.00", endIn(20 + 60));             // no snipe amount
  watched("105", "9.00", "WON");                      // ended: never due, marked dispatched
  addRow(frmMain->lvAllTdate, {"106", endIn(60).str(), "1"});  // no longer watched
  frmMain->SetdoEbaySync(true);
  frmMain->SetdoDispatchLaunchCheck(true);

  QElapsedTimer walk;
  walk.start();
  frmMain->checkDispatchLauncher();
  // Each hand-over is followed by its 3-second pause, for the sniper to read its file.
  EXPECT_GE(walk.elapsed(), 6000);

  const QStringList starts = sniperStarts(2);
  ASSERT_EQ(starts.size(), 2);
  EXPECT_EQ(copiedInstructions(1),
            QStringList({"101", "25.5", "GBP", endIn(20 + 19 * 60 + 59).c_str(),
                         endIn(19 * 60 + 59).c_str(), "buyer1", "pa ss", "Title 101", "2", "0",
                         "IND", ""}));
  EXPECT_EQ(copiedInstructions(2).mid(0, 5),
            QStringList({"103", "30", "GBP", endIn(20 - 600).c_str(), endIn(-600).c_str()}));
  EXPECT_EQ(starts[0].split('\t')[2], "0") << "the sniper is started without arguments";

  EXPECT_EQ(statusOf("101"), "0");
  EXPECT_EQ(statusOf("102"), "1");
  EXPECT_EQ(statusOf("103"), "0");
  EXPECT_EQ(statusOf("104"), "1");
  EXPECT_EQ(statusOf("105"), "0");
  EXPECT_EQ(statusOf("106"), "(none)");
  EXPECT_EQ(captionsOf(frmMain->lvAllTdate),
            std::vector<std::string>({"101", "102", "103", "104", "105"}));
  // The flags read as before the check.
  EXPECT_TRUE(frmMain->GetdoEbaySync());
  EXPECT_TRUE(frmMain->GetdoDispatchLaunchCheck());
  EXPECT_FALSE(frmMain->GetdoRefreshLVShowAll());
  EXPECT_TRUE(boxTexts().empty());

  // The statuses are on disk as soon as they change, so a restart hands nothing over again.
  const QStringList saved = QString::fromLatin1(readFile(workPath("lvAllTdate.txt"))).split("\r\n");
  for (const char* item : {"101", "103", "105"})
    EXPECT_EQ(saved.value(static_cast<int>(saved.indexOf(item)) + 2), "0") << item;
  for (const char* item : {"102", "104"})
    EXPECT_EQ(saved.value(static_cast<int>(saved.indexOf(item)) + 2), "1") << item;
  // A second check hands nothing over again.
  frmMain->checkDispatchLauncher();
  QThread::msleep(300);
  EXPECT_EQ(QString::fromLatin1(readFile(workPath("tnsnip.log"))).count('\n'), 2);
}

// The sniper reads amounts with a point: under a comma locale (the settings' separator, and the
// C library's, which Qt's application takes from the environment) the snipe amount and the
// snipe offset are read and written with a point all the same.
TEST_F(DispatchTest, AmountsKeepTheirPointUnderACommaLocale) {
  const CommaNumericLocale comma;
  FormatSettings().DecimalSeparator = ',';
  frmMain->edtSnipeOffset->SetText("30.5");
  watched("701", "25.50", endIn(600));
  frmMain->checkDispatchLauncher();
  ASSERT_EQ(sniperStarts(1).size(), 1);
  const QStringList lines = copiedInstructions(1);
  EXPECT_EQ(lines.mid(0, 2), QStringList({"701", "25.5"}));
  EXPECT_EQ(lines.value(4).toStdString(),
            DateTimeToStr(now_ + 600 * OneSecond - 30.5 * OneSecond).str());
  EXPECT_EQ(lines.value(9), "0");
  EXPECT_EQ(statusOf("701"), "0");
}

// A snipe offset that would bid after the end, or never, counts as the default 20 seconds.
TEST_F(DispatchTest, NegativeOrEndlessSnipeOffsetCountsAsTheDefault) {
  const char* offsets[] = {"-20", "1e300", "900000", "x"};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(offsets[i]);
    frmMain->edtSnipeOffset->SetText(offsets[i]);
    const std::string item = std::to_string(801 + i);
    watched(item, "5.00", endIn(20 + 19 * 60 + 50));  // due only with 20 seconds
    frmMain->checkDispatchLauncher();
    EXPECT_EQ(statusOf(item), "0");
    ASSERT_EQ(sniperStarts(i + 1).size(), i + 1);
    EXPECT_EQ(copiedInstructions(i + 1).value(4).toStdString(), endIn(19 * 60 + 50).str());
  }
}

// The dispatch check reckons on eBay's clock: the local time minus the offset read from the
// official-time page, here the site's clock running two hours behind the local one.
TEST_F(DispatchTest, CheckReckonsTheEndsOnEbaysClock) {
  tarnwick::tools::PracticeSite site({"--offset", "7200"});
  TIniFile("tarnwick.ini").WriteString("hosts", "time", site.baseUrl().c_str());
  frmMain->URLEdit->SetText(officialTimePageUrl("TimeShow"));
  frmMain->getOffsetHttp();
  frmCommand->Hide();
  const TDateTime ebayNow = frmMain->ebayNow();
  ASSERT_GT(std::abs(now_ - ebayNow), OneHour);
  watched("901", "5.00", DateTimeToStr(ebayNow + 20 * OneSecond + 10 * OneMinute));  // due
  watched("902", "5.00", endIn(20 + 10 * 60));  // on the local clock: not due
  frmMain->checkDispatchLauncher();
  EXPECT_EQ(statusOf("901"), "0");
  EXPECT_EQ(statusOf("902"), "1");
  ASSERT_EQ(sniperStarts(1).size(), 1);
  bool number = false;
  const double offset = copiedInstructions(1).value(9).toDouble(&number);
  EXPECT_TRUE(number);
  EXPECT_NEAR(offset, now_ - ebayNow, OneSecond);
}

TEST_F(DispatchTest, DueAuctionOfASatisfiedGroupIsMarkedOnceAndKeepsWaiting) {
  addRow(frmMain->lvGroups, {"PAIR", "two", "0"});
  TListItem* row = watched("201", "5.00", endIn(120), "PAIR");
  frmMain->checkDispatchLauncher();
  frmMain->checkDispatchLauncher();
  EXPECT_EQ(cellText(row, siTitle).str(), "GROUP SATISFIED Title 201");
  EXPECT_EQ(statusOf("201"), "1");
  QThread::msleep(300);
  EXPECT_FALSE(QFile::exists(workPath("tnsnip.log")));
  EXPECT_FALSE(QFile::exists(workPath("BID.TDL")));
}

// A stored snipe amount that is no plain positive decimal is not handed over, nor is an
// auction whose end is not known (an end text that does not read, or no end-time entry at
// all): the user is told once for each in the run, and the schedule's flags come back. "0.00"
// still means no snipe, and rows without a snipe amount are not spoken of.
TEST_F(DispatchTest, AmountThatIsNoAmountOrAnUnknownEndIsToldOnceAndNotHandedOver) {
  watched("301", "1.2.3", endIn(120));
  watched("302", "-5", endIn(120));
  watched("303", "1e300", endIn(120));
  watched("304", "0.00", endIn(120));
  watched("309", "0.00001", endIn(120));  // the sniper would read "1E-5"
  watched("305", "5.00", "not a date");
  addWatched("306");                                      // no end-time entry, no snipe amount
  setCellText(addWatched("307"), siSnipeAmount, "5.00");  // no end-time entry
  addRow(frmMain->lvShowAll, {"308", "0.00", "auction prior close", "", "", "", "LOST", "", "IND"});
  frmMain->SetdoEbaySync(true);
  frmMain->SetdoRefreshLVShowAll(true);
  for (int check = 0; check < 2; ++check) {
    SCOPED_TRACE(check);
    EXPECT_NO_THROW(frmMain->checkDispatchLauncher());
    EXPECT_TRUE(frmMain->GetdoEbaySync());
    EXPECT_TRUE(frmMain->GetdoRefreshLVShowAll());
    EXPECT_EQ(boxTexts(),
              std::vector<std::string>(
                  {"Sniper not launched for auction 301: its snipe amount \"1.2.3\" is not an "
                   "amount.",
                   "Sniper not launched for auction 302: its snipe amount \"-5\" is not an "
                   "amount.",
                   "Sniper not launched for auction 303: its snipe amount \"1e300\" is not an "
                   "amount.",
                   "Sniper not launched for auction 309: its snipe amount \"0.00001\" is not an "
                   "amount.",
                   "Sniper not launched for auction 305: its end time is not known.",
                   "Sniper not launched for auction 307: its end time is not known."}));
  }
  for (const char* item : {"301", "302", "303", "304", "305", "309"})
    EXPECT_EQ(statusOf(item), "1");
  QThread::msleep(300);
  EXPECT_FALSE(QFile::exists(workPath("tnsnip.log")));
}

// "Launch Sniper" tests neither time, status nor amount: an auction already dispatched, with
// no snipe amount and far from its end, is handed over again.
TEST_F(DispatchTest, LaunchSniperHandsOverTheSelectedAuctionWhateverItsState) {
  watched("401", "9.99", endIn(3 * 86400));
  TListItem* row = watched("402", "0.00", endIn(5 * 86400));
  frmMain->lvAllTdate->Items()->Item(1)->SubItems()->SetStrings(siDispatchStatus, "0");
  frmMain->lvShowAll->SetSelected(row);

  frmMain->LaunchSniper1->Click();

  ASSERT_EQ(sniperStarts(1).size(), 1);
  EXPECT_EQ(copiedInstructions(1).mid(0, 3), QStringList({"402", "0", "GBP"}));
  EXPECT_EQ(boxTexts(),
            std::vector<std::string>(
                {"Sniper about to be launched for selected auction. This program will not "
                 "redispatch the auction for bidding unless you delete it from the main grid "
                 "and then add it."}));
  EXPECT_EQ(boxes_.front().type, mtInformation);
  EXPECT_EQ(statusOf("401"), "1");
  EXPECT_EQ(statusOf("402"), "0");
}

// A title from an edited "lvshowall.txt" or a scraped page may hold CR, LF and NUL: each
// becomes a blank, so the sniper finds its eleven lines whole, whether it splits them at CR,
// at LF or stops a line at a NUL.
TEST_F(DispatchTest, TitleWithLineBreaksAndNulStaysOneLineOfTheInstructionFile) {
  TListItem* row = watched("451", "9.99", endIn(600));
  setCellText(row, siTitle, AnsiString(std::string("lamp\r\nshade\0red\rblue\n", 21)));
  frmMain->lvShowAll->SetSelected(row);
  frmMain->LaunchSniper1->Click();
  ASSERT_EQ(sniperStarts(1).size(), 1);
  const QByteArray bytes = readFile(workPath("tnsnip.1.BID.TDL"));
  EXPECT_FALSE(bytes.contains('\0'));
  EXPECT_EQ(bytes.count('\n'), 11);
  EXPECT_EQ(bytes.count('\r'), 11);
  EXPECT_EQ(copiedInstructions(1).value(7), "lamp  shade red blue ");
}

TEST_F(DispatchTest, LaunchSniperRefusesWithoutSelectionAndForASatisfiedGroup) {
  addRow(frmMain->lvGroups, {"PAIR", "two", "0"});
  TListItem* row = watched("501", "5.00", endIn(120), "PAIR");
  TListItem* alone = addWatched("502");  // no end-time entry
  frmMain->LaunchSniper1->Click();
  frmMain->lvShowAll->SetSelected(row);
  frmMain->LaunchSniper1->Click();
  frmMain->lvShowAll->SetSelected(alone);
  frmMain->LaunchSniper1->Click();
  const std::string about =
      "Sniper about to be launched for selected auction. This program will not redispatch the "
      "auction for bidding unless you delete it from the main grid and then add it.";
  EXPECT_EQ(boxTexts(),
            std::vector<std::string>(
                {"No item selected.", about,
                 "This item is a member of a group with zero purchases requested.", about,
                 "Sniper not launched for auction 502: its end time is not known."}));
  EXPECT_EQ(statusOf("501"), "1");
  QThread::msleep(300);
  EXPECT_FALSE(QFile::exists(workPath("tnsnip.log")));
}

// "Launch Sniper" hands over no amount that is no amount, nor an auction whose end does not
// read, and tells why every time it is asked.
TEST_F(DispatchTest, LaunchSniperRefusesAnAmountThatIsNoAmountAndAnUnknownEnd) {
  TListItem* negative = watched("511", "-5", endIn(600));
  TListItem* undated = watched("512", "5.00", "soon");
  for (TListItem* row : {negative, negative, undated}) {
    frmMain->lvShowAll->SetSelected(row);
    frmMain->LaunchSniper1->Click();
  }
  const std::vector<std::string> texts = boxTexts();
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[1],
            "Sniper not launched for auction 511: its snipe amount \"-5\" is not an amount.");
  EXPECT_EQ(texts[3], texts[1]);
  EXPECT_EQ(texts[5], "Sniper not launched for auction 512: its end time is not known.");
  EXPECT_EQ(statusOf("511"), "1");
  QThread::msleep(300);
  EXPECT_FALSE(QFile::exists(workPath("tnsnip.log")));
}

// An add whose page comes while a box of "Launch Sniper" is open ends its road then: the walk
// puts back no page retry for it, so the schedule goes on and the next check hands over what
// is due.
TEST_F(DispatchTest, AnAddThatEndsWhileLaunchSnipersBoxIsOpenLeavesTheScheduleGoing) {
  TListItem* undated = addWatched("521");  // no end-time entry: the "not launched" box
  setCellText(undated, siSnipeAmount, "5.00");
  watched("522", "5.00", endIn(20 + 10 * 60));
  frmMain->SetcurrBroAction(actAdding);  // an add whose page is on its way
  frmMain->SetdoDispatchLaunchCheck(true);
  SetDialogResponder([this](const DialogRequest& request) {
    boxes_.push_back(request);
    if (boxes_.size() == 2) frmMain->SetcurrBroAction(actIdle);  // its blank page arrives
    return DefaultDialogAnswer(request);
  });
  frmMain->lvShowAll->SetSelected(undated);
  frmMain->LaunchSniper1->Click();
  ASSERT_EQ(boxTexts().size(), 2U);
  EXPECT_EQ(boxTexts()[1], "Sniper not launched for auction 521: its end time is not known.");
  EXPECT_EQ(frmMain->GetcurrBroAction(), actIdle);
  EXPECT_FALSE(frmMain->GetdoBrowserRetry());
  now_ = now_ + 5 * OneMinute;
  tick();
  EXPECT_EQ(statusOf("522"), "0");
  EXPECT_EQ(sniperStarts(1).size(), 1);
}

// An instruction file that cannot be written starts no sniper and is not taken for a dispatch:
// the user is told why, and the auction waits for the next check while its window lasts.
TEST_F(DispatchTest, UnwritableInstructionFileIsToldStartsNoSniperAndKeepsTheAuctionWaiting) {
  ASSERT_TRUE(QDir(work_).mkdir("BID.TDL"));
  TListItem* row = watched("601", "5.00", endIn(120));
  frmMain->SetdoDispatchLaunchCheck(true);
  EXPECT_NO_THROW(frmMain->checkDispatchLauncher());
  EXPECT_EQ(statusOf("601"), "1");
  ASSERT_EQ(boxTexts().size(), 1U);
  EXPECT_EQ(boxTexts()[0].rfind("Sniper not launched for auction 601: ", 0), 0U) << boxTexts()[0];
  EXPECT_NE(boxTexts()[0].find("BID.TDL"), std::string::npos) << boxTexts()[0];
  EXPECT_EQ(boxes_[0].type, mtError);
  EXPECT_TRUE(frmMain->GetdoDispatchLaunchCheck());
  frmMain->lvShowAll->SetSelected(row);
  frmMain->LaunchSniper1->Click();
  EXPECT_EQ(statusOf("601"), "1");
  ASSERT_EQ(boxTexts().size(), 3U);
  EXPECT_EQ(boxTexts()[2].rfind("Sniper not launched for auction 601: ", 0), 0U) << boxTexts()[2];
  QThread::msleep(300);
  EXPECT_FALSE(QFile::exists(workPath("tnsnip.log")));
}

// A sniper that is not there places no bid: the user is told, the auction is not taken for
// handed over, and once the sniper is back the next check hands it over.
TEST_F(DispatchTest, MissingSniperIsToldAndTheAuctionWaitsForTheNextCheck) {
  ASSERT_TRUE(QFile::remove(workPath("tnsnip.exe")));
  watched("602", "5.00", endIn(120));
  EXPECT_NO_THROW(frmMain->checkDispatchLauncher());
  EXPECT_EQ(statusOf("602"), "1");
  EXPECT_EQ(boxTexts(),
            std::vector<std::string>{"Sniper not launched for auction 602: tnsnip.exe not found"});
  EXPECT_EQ(boxes_[0].type, mtError);
  EXPECT_FALSE(QFile::exists(workPath("opener.log")));
  tarnwick::tools::stageFakes(work_.toStdString());
  frmMain->checkDispatchLauncher();
  ASSERT_EQ(sniperStarts(1).size(), 1);
  EXPECT_EQ(statusOf("602"), "0");
  EXPECT_EQ(boxTexts().size(), 1U);
}

// The check's box is shown once the walk has ended and its flags are back, so a box left open
// holds nothing back: the tick that runs while it is open runs the next check (which tells
// again, in a box that waits its turn behind the open one) and starts the agent, each once.
TEST_F(DispatchTest, TicksWhileTheChecksBoxIsOpenRunTheScheduleAndNothingTwice) {
  ASSERT_TRUE(QFile::remove(workPath("tnsnip.exe")));
  watched("603", "5.00", endIn(120));
  frmMain->SetdoDispatchLaunchCheck(true);
  frmMain->SetdoRefreshLVShowAll(true);
  bool open = false, stacked = false;
  SetDialogResponder([&](const DialogRequest& request) {
    stacked = stacked || open;
    boxes_.push_back(request);
    open = true;
    if (boxes_.size() == 1) {
      EXPECT_TRUE(frmMain->GetdoDispatchLaunchCheck()) << "the walk's flags are back";
      now_ = now_ + 4 * OneMinute + OneSecond;  // the auction is still due
      tick();
    }
    open = false;
    return DefaultDialogAnswer(request);
  });
  now_ = now_ + 4 * OneMinute + OneSecond;  // the check is due, the countdown not yet
  tick();
  EXPECT_EQ(boxTexts(), std::vector<std::string>(
                            2, "Sniper not launched for auction 603: tnsnip.exe not found"));
  EXPECT_FALSE(stacked);
  const QStringList log = takeLog();
  EXPECT_EQ(calls(log, "TAG:checkDispatchLauncher()"), 2);
  EXPECT_EQ(calls(log, "TAG:launchGridRefresher()"), 1);
  EXPECT_TRUE(frmMain->GetseekingRefreshData());
  EXPECT_EQ(statusOf("603"), "1");
  EXPECT_TRUE(frmMain->GetdoDispatchLaunchCheck());
  EXPECT_TRUE(frmMain->GetdoRefreshLVShowAll());
}

}  // namespace
