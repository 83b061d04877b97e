// The real fresh as a process: offscreen, in a temporary working directory holding
// "lvshowall.txt" and "dummy.htm", its hosts pointing at the practice auction site through a
// temporary Windows directory, every dialog logged.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TempWorkingFolder.h"
#include "tools/testing/PracticeSite.h"

namespace {

using Record = std::vector<std::string>;  // the nine lines of a watch-list record

class AgentProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    work_ = QString::fromStdString(root_.work().string());
    windir_ = QString::fromStdString(root_.windows().string());
    ASSERT_TRUE(QFile::copy(QStringLiteral(FRESH_DIR) + "/dummy.htm", work_ + "/dummy.htm"));
  }
  void writeIni(const std::string& member) {
    write(windir_ + "/tarnwick.ini",
          site_.hostsSection() + "[prefs]\r\nedtEbayMember=" + member + "\r\n");
  }
  void writeWatchList(const std::vector<Record>& records) {
    std::string text;
    for (const Record& record : records)
      for (const std::string& line : record) text += line + "\r\n";
    write(work_ + "/lvshowall.txt", text);
  }
  static void write(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  QByteArray read(const QString& name) const {
    QFile file(work_ + "/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  bool exists(const QString& name) const { return QFile::exists(work_ + "/" + name); }
  // Scratch files left in the working directory, hidden temporaries of a save included.
  QStringList scratchFiles() const {
    return QDir(work_).entryList({"*.tmp", ".*.tmp.*"}, QDir::Files | QDir::Hidden);
  }
  void start(QProcess& agent) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TARNWICK_WINDIR", windir_);
    env.insert("TARNWICK_DIALOG_LOG", work_ + "/dialogs.log");
    agent.setProcessEnvironment(env);
    agent.setWorkingDirectory(work_);
    agent.start(FRESH_PROGRAM, {});
    ASSERT_TRUE(agent.waitForStarted(10000));
  }
  // Runs fresh to its end.
  void run(int limitMs = 40000) {
    QProcess agent;
    start(agent);
    ASSERT_TRUE(agent.waitForFinished(limitMs));
    EXPECT_EQ(agent.exitCode(), 0);
  }
  // The records of "newgrid.lv".
  std::vector<Record> grid() const {
    std::vector<Record> records;
    const QList<QByteArray> lines = read("newgrid.lv").split('\n');
    Record record;
    for (const QByteArray& line : lines) {
      if (line.isEmpty()) continue;
      EXPECT_TRUE(line.endsWith('\r'));
      record.push_back(line.chopped(1).toStdString());
      if (record.size() == 9) records.push_back(std::move(record)), record.clear();
    }
    EXPECT_TRUE(record.empty());
    return records;
  }
  static Record watched(const std::string& item, const std::string& ends,
                        const std::string& snipe = "0.00", const std::string& group = "IND") {
    return {item, snipe, "Title " + item, "1.00", "1", "1", ends, "USD", group};
  }
  // The "newgrid.lv" record of a watched row the run kept as it was: the snipe amount moved
  // from the second line to the seventh.
  static Record asItWas(const Record& row) {
    return {row[0], row[2], row[3], row[4], row[5], row[6], row[1], row[7], row[8]};
  }
  static std::string viewItem(const std::string& item) {
    return "/ws/eBayISAPI.dll?ViewItem&item=" + item;
  }
  static std::string viewBids(const std::string& item) {
    return "/ws/eBayISAPI.dll?ViewBids&item=" + item;
  }

  tarnwick::tools::PracticeSite site_;
  TempWorkingFolder root_;  // fresh works there; this process stays where it is
  QString work_;
  QString windir_;
};

TEST_F(AgentProcessTest, RefreshesEveryRowInOrderAndResolvesEndedAuctions) {
  writeIni("tarnbuyer");
  writeWatchList({
      watched("220000000101", "2 days", "25.50", "G1"),  // live
      watched("220000000401", "12m 05s"),                // ended, won by the member
      watched("220000000402", "ACTIVE"),                 // ended, won by another bidder
      watched("220000000501", "ACTIVE"),                 // ended multi: 2 units
      watched("220000000505", "ACTIVE"),                 // ended multi: member absent
      watched("220000000503", "ACTIVE"),                 // ended multi: 1.5 units
      watched("220000000504", "ACTIVE"),                 // ended multi: units in letters
      watched("220000000502", "ENDED - LOT"),            // earlier run: 0 units
      watched("220000000201", "1 days"),                 // live multi-quantity
      watched("220000000111", "WON"),                    // closed: not reloaded
  });
  run();
  const std::vector<Record> records = grid();
  const std::vector<Record> expected = {
      {"220000000101", "Title 220000000101", "12.50", "7", "1", "ACTIVE", "25.50", "USD", "G1"},
      {"220000000401", "Title 220000000401", "20.00", "9", "1", "WON", "0.00", "USD", "IND"},
      {"220000000402", "Title 220000000402", "20.00", "9", "1", "LOST", "0.00", "USD", "IND"},
      {"220000000501", "Title 220000000501", "5.50", "LOT", "1", "WON -2-", "0.00", "USD", "IND"},
      {"220000000505", "Title 220000000505", "5.50", "LOT", "1", "LOST", "0.00", "USD", "IND"},
      {"220000000503", "Title 220000000503", "5.50", "LOT", "1", "...", "0.00", "USD", "IND"},
      {"220000000504", "Title 220000000504", "5.50", "LOT", "1", "ENDED - LOT", "0.00", "USD",
       "IND"},
      {"220000000502", "Title 220000000502", "1.00", "1", "1", "LOST", "0.00", "USD", "IND"},
      {"220000000201", "Title 220000000201", "12.50", "LOT", "1", "ACTIVE", "0.00", "USD", "IND"},
      {"220000000111", "Title 220000000111", "1.00", "1", "1", "WON", "0.00", "USD", "IND"},
  };
  ASSERT_EQ(records.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    // The current bid and bid count come from the site; check the site's texts where fixed.
    EXPECT_EQ(records[i][0], expected[i][0]);
    EXPECT_EQ(records[i][1], expected[i][1]) << i;
    EXPECT_EQ(records[i][5], expected[i][5]) << expected[i][0];
    EXPECT_EQ(records[i][3], expected[i][3]) << expected[i][0];
    EXPECT_EQ(records[i][6], expected[i][6]);
    EXPECT_EQ(records[i][8], expected[i][8]);
  }
  EXPECT_EQ(records[0][2], "12.50");
  // Closed rows are not asked for; bid histories only for rows left "ENDED - LOT".
  EXPECT_EQ(site_.requestCount(viewItem("220000000111")), 0);
  EXPECT_EQ(site_.requestCount(viewItem("220000000502")), 0);
  EXPECT_EQ(site_.requestCount(viewBids("220000000502")), 1);
  EXPECT_EQ(site_.requestCount(viewBids("220000000501")), 1);
  EXPECT_EQ(site_.requestCount(viewBids("220000000401")), 0);
  EXPECT_EQ(site_.requestCount(viewBids("220000000201")), 0);
  EXPECT_TRUE(exists("220000000101.tnw"));
  EXPECT_TRUE(exists("220000000501.dsp"));
  EXPECT_EQ(scratchFiles(), QStringList()) << scratchFiles().join(' ').toStdString();
  EXPECT_FALSE(exists("dialogs.log"));
}

// An auction the site no longer knows (its invalid-item page) keeps its row as it was, and the
// run goes on with the others: one removed auction must not cost every refresh.
TEST_F(AgentProcessTest, RemovedAuctionKeepsItsRowAndTheRestIsRefreshed) {
  writeIni("tarnbuyer");
  writeWatchList({
      watched("220000000999", "2 days"),       // removed: item page invalid
      watched("220000000101", "2 days"),       // live
      watched("220000000998", "ENDED - LOT"),  // removed: bid history invalid
      watched("220000000401", "ACTIVE"),       // ended, won by the member
  });
  QElapsedTimer clock;
  clock.start();
  run();
  EXPECT_LT(clock.elapsed(), 25000) << "the run did not wait to be given up";
  const std::vector<Record> records = grid();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0], asItWas(watched("220000000999", "2 days")));
  EXPECT_EQ(records[1][5], "ACTIVE");
  EXPECT_EQ(records[2][5], "ENDED - LOT");
  EXPECT_EQ(records[3][5], "WON");
  EXPECT_EQ(site_.requestCount(viewBids("220000000998")), 1);
  EXPECT_FALSE(exists("220000000999.tnw"));
  EXPECT_EQ(scratchFiles(), QStringList()) << scratchFiles().join(' ').toStdString();
}

TEST_F(AgentProcessTest, ClosedRowsWithoutLotResultAreWrittenBackAtOnceUnchanged) {
  writeIni("tarnbuyer");
  writeWatchList({watched("7", "WON -3-"), watched("8", "LOST"), watched("9", "ENDED - NOTLOT")});
  run();
  const std::vector<Record> records = grid();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0],
            (Record{"7", "Title 7", "1.00", "1", "1", "WON -3-", "0.00", "USD", "IND"}));
  EXPECT_EQ(records[2][5], "ENDED - NOTLOT");
  EXPECT_EQ(site_.requestCount(viewItem("7")) + site_.requestCount(viewBids("9")), 0);
}

// Saves cut short by a kill of an earlier run leave their hidden temporaries behind: a run
// removes those of the agent's own files (its scratch page, its result, the bid histories),
// named with the saves' mark, and leaves every other file alone, a hidden file of the user's
// without the mark too.
TEST_F(AgentProcessTest, ARunRemovesTheTemporariesAKilledRunLeft) {
  writeIni("tarnbuyer");
  writeWatchList({watched("7", "WON")});
  const QStringList own = {".refresh.tmp.tarnwick-save.abc123", ".newgrid.lv.tarnwick-save.Xy12ab",
                           ".220000000101.dsp.tarnwick-save.000000"};
  const QStringList others = {".temp.tmp.tarnwick-save.abc123",
                              ".lvshowall.txt.tarnwick-save.abc123",
                              ".220000000101.tnw.tarnwick-save.abc123",
                              "refresh.tmp.tarnwick-save.abc123",
                              ".refresh.tmp.abc123",
                              ".newgrid.lv.Xy12ab",
                              ".220000000101.dsp.000000",
                              ".temp.tmp.abc123",
                              ".lvshowall.txt.abc123",
                              ".220000000101.tnw.abc123",
                              "refresh.tmp.abc123"};
  for (const QString& name : own + others) write(work_ + "/" + name, "x");
  run();
  for (const QString& name : own) EXPECT_FALSE(exists(name)) << name.toStdString();
  for (const QString& name : others) EXPECT_TRUE(exists(name)) << name.toStdString();
}

TEST_F(AgentProcessTest, ShortWatchListEndsWithoutResultFile) {
  writeIni("tarnbuyer");
  write(work_ + "/lvshowall.txt", "1\r\n0.00\r\nTitle\r\n1.00\r\n1\r\n");
  run();
  EXPECT_FALSE(exists("newgrid.lv"));
}

// A watch list that cannot be read is shown once; after that box the agent ends with an empty
// result, as a run that gives up, so the portal is not kept from its next refresh. A folder in
// the list's place is named as such.
TEST_F(AgentProcessTest, UnreadableWatchListIsShownOnceAndTheAgentEnds) {
  writeIni("tarnbuyer");
  for (const bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "folder" : "missing");
    QFile::remove(work_ + "/dialogs.log");
    QFile::remove(work_ + "/newgrid.lv");
    if (folder) {
      ASSERT_TRUE(QDir(work_).mkdir("lvshowall.txt"));
    }
    run();
    const QList<QByteArray> boxes = read("dialogs.log").trimmed().split('\n');
    ASSERT_EQ(boxes.size(), 1) << read("dialogs.log").constData();
    const QList<QByteArray> fields = boxes[0].split('|');
    ASSERT_GE(fields.size(), 5);
    EXPECT_EQ(fields[0], "exception");
    EXPECT_EQ(fields[4], folder ? "Cannot open file lvshowall.txt. It is a folder."
                                : "Cannot open file lvshowall.txt");
    EXPECT_TRUE(exists("newgrid.lv"));
    EXPECT_EQ(read("newgrid.lv").size(), 0);
  }
}

TEST_F(AgentProcessTest, ShortLastRecordWarnsAndTheRunEndsWithAnEmptyFile) {
  writeIni("tarnbuyer");
  write(work_ + "/lvshowall.txt",
        "220000000101\r\n0.00\r\nT\r\n1\r\n1\r\n1\r\n2 days\r\nUSD\r\nIND\r\n"
        "220000000102\r\n0.00\r\nT\r\n");
  run();
  EXPECT_TRUE(read("dialogs.log").contains("Possible error loading data.  Click OK to continue."));
  EXPECT_TRUE(exists("newgrid.lv"));
  EXPECT_EQ(read("newgrid.lv").size(), 0);
}

// A result file that cannot be written still ends the run: an agent left open would keep the
// portal from ever starting the next one.
TEST_F(AgentProcessTest, ResultFileThatCannotBeWrittenStillEndsTheRun) {
  writeIni("tarnbuyer");
  ASSERT_TRUE(QDir(work_).mkdir("newgrid.lv"));  // stands in the result file's way
  for (const std::vector<Record>& list :
       {std::vector<Record>{watched("220000000101", "2 days"), watched("7", "WON")},
        std::vector<Record>{watched("7", "WON")}}) {
    writeWatchList(list);
    run();
    EXPECT_TRUE(QFileInfo(work_ + "/newgrid.lv").isDir());
  }
}

// The portal saves its pages to "temp.tmp" in the same folder, in the middle of the agent's run
// if an auction is added meanwhile. Here that file is rewritten in place all the time with
// another auction's page; the agent's rows and page files still hold their own pages.
TEST_F(AgentProcessTest, ThePortalsScratchFileNeverReachesTheAgentsRows) {
  writeIni("tarnbuyer");
  const std::string foreign = site_.get(viewItem("220000000402")).body;  // ended, lost
  ASSERT_NE(foreign.find("</html>"), std::string::npos);
  const struct {
    std::string item, bid, bids;
  } rows[] = {{"220000000101", "12.50", "7"}, {"220000000102", "12.50", "7"},
              {"220000000103", "12.50", "7"}, {"220000000104", "1234.56", "31"},
              {"220000000111", "15.25", "7"}, {"220000000121", "14.75", "7"}};
  std::vector<Record> list;
  for (const auto& row : rows) list.push_back(watched(row.item, "2 days"));
  writeWatchList(list);
  std::atomic<bool> done{false};
  std::thread portal([&] {
    const std::string path = (work_ + "/temp.tmp").toStdString();
    while (!done) std::ofstream(path, std::ios::binary | std::ios::trunc) << foreign;
  });
  run();
  done = true;
  portal.join();
  const std::vector<Record> records = grid();
  ASSERT_EQ(records.size(), std::size(rows));
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(rows[i].item);
    EXPECT_EQ(records[i][5], "ACTIVE");
    EXPECT_EQ(records[i][2], rows[i].bid);
    EXPECT_EQ(records[i][3], rows[i].bids);
    EXPECT_TRUE(read(QString::fromStdString(rows[i].item + ".tnw")).contains(rows[i].item.c_str()));
  }
  EXPECT_EQ(read("temp.tmp").toStdString(), foreign);  // the agent never touched it
  EXPECT_EQ(scratchFiles(), QStringList("temp.tmp"));
}

// A site that takes 4 seconds over every page, steadily: each load is left to come instead of
// being asked for anew at every stall tick, so every page is asked for once and the run ends
// with every row refreshed.
TEST_F(AgentProcessTest, SlowButSteadySiteIsRefreshedWithOneRequestAPage) {
  writeIni("tarnbuyer");
  site_.control("delay=4000&page=*");
  writeWatchList({watched("220000000101", "2 days"), watched("220000000401", "ACTIVE"),
                  watched("220000000501", "ACTIVE")});
  run(120000);
  const std::vector<Record> records = grid();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0][5], "ACTIVE");
  EXPECT_EQ(records[0][2], "12.50");
  EXPECT_EQ(records[1][5], "WON");
  EXPECT_EQ(records[2][5], "WON -2-");
  for (const char* item : {"220000000101", "220000000401", "220000000501"})
    EXPECT_EQ(site_.requestCount(viewItem(item)), 1) << item;
  EXPECT_EQ(site_.requestCount(viewBids("220000000501")), 1);
}

// A page that does not come whole is asked for again: one cut short or a connection dropped at
// the next stall tick, a request the site takes and never answers once it has shown nothing
// for a while. Each is asked again well within the give-up time, so the row is refreshed.
TEST_F(AgentProcessTest, PageThatDoesNotComeWholeIsAskedForAgain) {
  writeIni("tarnbuyer");
  writeWatchList({watched("220000000101", "2 days")});
  for (const char* fault : {"truncate", "drop", "stall"}) {
    SCOPED_TRACE(fault);
    QFile::remove(work_ + "/newgrid.lv");
    site_.control("reset=faults");
    site_.control("reset=stats");
    site_.control(std::string("fault=") + fault + "&page=item:220000000101&count=1");
    run();
    const std::vector<Record> records = grid();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][5], "ACTIVE");
    EXPECT_EQ(site_.requestCount(viewItem("220000000101")), 2);
  }
}

// A page that comes but cannot be used, one past the size bound or one that is no item page
// (a relocation to a page the site does not have), is asked for once more and then keeps its
// row as it was at once: it is no stall, so two such rows in a row do not end the run, and the
// rows after them are refreshed.
TEST_F(AgentProcessTest, PageThatComesButCannotBeUsedKeepsItsRowAtOnce) {
  writeIni("tarnbuyer");
  site_.control("fault=oversize&page=item:220000000101");
  site_.control("fault=redirect&location=/nothing&page=item:220000000102");
  site_.control("fault=oversize&page=bids:220000000502");
  writeWatchList({watched("220000000101", "2 days"), watched("220000000102", "1h 30m"),
                  watched("220000000401", "ACTIVE"), watched("220000000502", "ENDED - LOT")});
  run();
  const std::vector<Record> records = grid();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0], asItWas(watched("220000000101", "2 days")));
  EXPECT_EQ(records[1][5], "1h 30m");
  EXPECT_EQ(records[2][5], "WON");
  EXPECT_EQ(records[3][5], "ENDED - LOT");
  // Asked for once more (the network layer itself may send a request again on a new
  // connection, which the site counts too), and not again and again as the stall timer asks
  // for a page that is waited for until the give-up.
  for (const std::string& page :
       {viewItem("220000000101"), viewItem("220000000102"), viewBids("220000000502")}) {
    EXPECT_GE(site_.requestCount(page), 2) << page;
    EXPECT_LE(site_.requestCount(page), 4) << page;
  }
  EXPECT_FALSE(exists("220000000101.tnw"));
  EXPECT_FALSE(exists("220000000502.dsp"));
  EXPECT_EQ(scratchFiles(), QStringList()) << scratchFiles().join(' ').toStdString();
}

// eBay user ids do not depend on letter case, and a blank typed after the id is no part of it:
// with "BUYER7 " stored, a win of "buyer7" reads WON, on a single listing and on a
// multi-quantity one alike; another bidder's win still reads LOST.
TEST_F(AgentProcessTest, MemberIdMatchesWithoutRegardToCaseOrBlanks) {
  writeIni(" BUYER7 ");
  site_.control("item=220000000401&winner=buyer7");
  site_.control("item=220000000402&winner=buyer77");
  site_.control("item=220000000501&history=rival_bidder_77:3,buyer7:2");
  writeWatchList({watched("220000000401", "ACTIVE"), watched("220000000402", "ACTIVE"),
                  watched("220000000501", "ACTIVE")});
  run();
  const std::vector<Record> records = grid();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0][5], "WON");
  EXPECT_EQ(records[1][5], "LOST");
  EXPECT_EQ(records[2][5], "WON -2-");
}

}  // namespace
