// Item groups: adding, changing and deleting groups, their file "groups.tnq", placing watched
// auctions in groups, the dispatch question, lessening a count and the cancel files.
#include <sys/stat.h>

#include <QFileInfo>

#include "MainWindowFixture.h"

namespace {

using Texts = std::vector<std::string>;

class GroupsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    TListItems* groups = frmMain->lvGroups->Items();
    groups->Clear();
    addRow(frmMain->lvGroups, {"IND", "Bids independently of orher auction results", "1"});
    frmMain->PageControl1->SetActivePage(frmMain->tsManageItemGroups);
  }
  void addGroup(const char* name, const char* note, const char* howMany) {
    frmMain->edtGrpNme->SetText(name);
    frmMain->edtGrpNote->SetText(note);
    frmMain->edtGrpHowMany->SetText(howMany);
    frmMain->btnAddGrp->Click();
  }
  static std::vector<Texts> groupRows() {
    std::vector<Texts> rows;
    for (int i = 0; i < frmMain->lvGroups->Items()->Count(); ++i)
      rows.push_back(cellsOf(frmMain->lvGroups->Items()->Item(i)));
    return rows;
  }
  static TListItem* watchedIn(const std::string& item, const char* group) {
    TListItem* row = addWatched(item);
    setCellText(row, siGroup, group);
    return row;
  }
};

TEST_F(GroupsTest, AddedGroupIsUpperCasedAndTheWholeListWritten) {
  addGroup("lamps", "two of five", "2");
  EXPECT_TRUE(boxTexts().empty());
  EXPECT_EQ(groupRows(),
            (std::vector<Texts>{{"IND", "Bids independently of orher auction results", "1"},
                                {"LAMPS", "two of five", "2"}}));
  EXPECT_EQ(
      readFile(workPath("groups.tnq")),
      "IND\r\nBids independently of orher auction results\r\n1\r\nLAMPS\r\ntwo of five\r\n2\r\n");
}

// (The add's test for an empty or non-numeric count cannot be reached through the edit, which
// turns such a text into "1" at once.)
TEST_F(GroupsTest, RefusedAddsAndChangesLeaveListAndFileAlone) {
  const struct {
    const char* name;
    const char* howMany;
    bool change;
    const char* message;
  } cases[] = {
      {"", "2", false, "Group Name is blank. Group not created."},
      {"   ", "2", false, "Group Name is blank. Group not created."},
      {" \t ", "2", false, "Group Name is blank. Group not created."},
      {"ind", "2", false, "Group Name is already in use. Group not created."},
      {"ind", "2", true, "Attempt to change IND."},
      {"", "2", true, "Attempt to change group with name blank."},
      {"  ", "2", true, "Attempt to change group with name blank."},
      {"CHAIRS", "2", true, "Attempt to change group name."},
  };
  for (const auto& c : cases) {
    boxes_.clear();
    frmMain->edtGrpNme->SetText(c.name);
    frmMain->edtGrpHowMany->SetText(c.howMany);
    (c.change ? frmMain->btnChange : frmMain->btnAddGrp)->Click();
    EXPECT_EQ(boxTexts(), (Texts{c.message})) << c.name;
    EXPECT_EQ(boxes_.front().type, mtError);
  }
  EXPECT_EQ(groupRows().size(), 1u);
  EXPECT_FALSE(QFile::exists(workPath("groups.tnq")));
}

TEST_F(GroupsTest, HowManyEditTurnsAnythingButDigitsIntoOne) {
  for (const char* typed : {"a", "2.5", "-1", ""}) {
    frmMain->edtGrpHowMany->SetText("3");
    boxes_.clear();
    frmMain->edtGrpHowMany->SetText(typed);
    EXPECT_EQ(boxTexts(), (Texts{"Field must be integer."})) << typed;
    EXPECT_EQ(frmMain->edtGrpHowMany->Text().str(), "1") << typed;
  }
}

TEST_F(GroupsTest, ChangeSetsNoteAndCountAndARaisedCountDeletesTheCancelFile) {
  addGroup("LAMPS", "note", "0");
  writeFile(workPath("cancLAMPS.TDL"), "1\r\n");
  frmMain->edtGrpNme->SetText("lamps");
  frmMain->edtGrpNote->SetText("changed");
  frmMain->edtGrpHowMany->SetText("0");
  frmMain->btnChange->Click();
  EXPECT_TRUE(QFile::exists(workPath("cancLAMPS.TDL")));
  frmMain->edtGrpHowMany->SetText("3");
  frmMain->btnChange->Click();
  EXPECT_FALSE(QFile::exists(workPath("cancLAMPS.TDL")));
  EXPECT_EQ(groupRows().back(), (Texts{"LAMPS", "changed", "3"}));
  // A changed count is written at once: a restart brings it back.
  EXPECT_TRUE(readFile(workPath("groups.tnq")).endsWith("LAMPS\r\nchanged\r\n3\r\n"));
}

TEST_F(GroupsTest, DeleteIsRefusedWithoutSelectionForIndAndForAGroupInUse) {
  addGroup("LAMPS", "", "1");
  addGroup("CHAIRS", "", "1");
  watchedIn("220000000101", "LAMPS");
  frmMain->lvGroups->SetSelected(nullptr);
  frmMain->DeleteGroup1->Click();
  frmMain->lvGroups->SetSelected(frmMain->lvGroups->Items()->Item(0));
  frmMain->DeleteGroup1->Click();
  frmMain->lvGroups->SetSelected(frmMain->lvGroups->Items()->Item(1));
  frmMain->DeleteGroup1->Click();
  EXPECT_EQ(boxTexts(),
            (Texts{"No group highlighted.", "IND group delete attempted.",
                   "Attempt to delete group that is in use.  First change group for auctions "
                   "using this group."}));
  frmMain->lvGroups->SetSelected(frmMain->lvGroups->Items()->Item(2));
  frmMain->DeleteGroup1->Click();
  EXPECT_EQ(captionsOf(frmMain->lvGroups), (Texts{"IND", "LAMPS"}));
  // A deleted group is gone from the file at once: a restart does not bring it back.
  EXPECT_EQ(readFile(workPath("groups.tnq")),
            "IND\r\nBids independently of orher auction results\r\n1\r\nLAMPS\r\n\r\n1\r\n");
}

TEST_F(GroupsTest, LoadReadsWholeRecordsOnlyAndRefillsTheGroupChoice) {
  writeFile(workPath("groups.tnq"), "IND\r\nx\r\n1\r\nlamps\r\nn\r\n2\r\nbroken\r\n");
  frmMain->loadGroupsListView();
  EXPECT_EQ(groupRows(), (std::vector<Texts>{{"IND", "x", "1"}, {"lamps", "n", "2"}}));
  EXPECT_EQ(frmMain->comGroup->Items()->Count(), 2);
  writeFile(workPath("groups.tnq"), "A\r\nB\r\n");
  frmMain->loadGroupsListView();
  EXPECT_TRUE(groupRows().empty());
}

TEST_F(GroupsTest, CountReachingZeroWritesTheCancelFileWithEveryAuctionOfTheGroup) {
  addGroup("LAMPS", "", "2");
  watchedIn("220000000101", "LAMPS");
  watchedIn("220000000102", "IND");
  watchedIn("220000000103", "LAMPS");
  EXPECT_TRUE(frmMain->stlNdPrchseFrmGrp("LAMPS"));
  frmMain->decGroup("LAMPS");
  EXPECT_FALSE(QFile::exists(workPath("cancLAMPS.TDL")));
  EXPECT_TRUE(readFile(workPath("groups.tnq")).endsWith("LAMPS\r\n\r\n1\r\n"));
  frmMain->decGroup("LAMPS");
  EXPECT_EQ(readFile(workPath("cancLAMPS.TDL")), "220000000101\r\n220000000103\r\n");
  // Written with its count, so the group stays satisfied after a restart.
  EXPECT_TRUE(readFile(workPath("groups.tnq")).endsWith("LAMPS\r\n\r\n0\r\n"));
  EXPECT_FALSE(frmMain->stlNdPrchseFrmGrp("LAMPS"));
  QFile::remove(workPath("cancLAMPS.TDL"));
  frmMain->decGroup("LAMPS");
  EXPECT_EQ(groupRows().back().back(), "-1");
  EXPECT_FALSE(QFile::exists(workPath("cancLAMPS.TDL")));
  // IND and unknown groups are always cleared and never lessened.
  frmMain->decGroup("IND");
  EXPECT_EQ(groupRows().front().back(), "1");
  EXPECT_TRUE(frmMain->stlNdPrchseFrmGrp("IND"));
  EXPECT_TRUE(frmMain->stlNdPrchseFrmGrp("NOSUCH"));
  EXPECT_EQ(frmMain->totalInGroup("LAMPS"), 2);
}

// A count that is no integer, or a name that would lead out of the working directory (both
// only from an edited file), neither ends the portal nor writes outside.
// Shutdown deletes every cancel file; the second start-up stage writes that of every group that
// wants no more wins again, since auctions of it may have been handed to the sniper before.
TEST_F(GroupsTest, SecondStageWritesTheCancelFilesOfSatisfiedGroupsAgain) {
  writeFile(workPath("groups.tnq"),
            "IND\r\n\r\n0\r\nPAIR\r\n\r\n0\r\nTRIO\r\n\r\n-1\r\nSOLO\r\n\r\n1\r\n");
  watchedIn("220000000101", "PAIR");
  watchedIn("220000000102", "SOLO");
  watchedIn("220000000103", "PAIR");
  watchedIn("220000000104", "TRIO");
  watchedIn("220000000105", "IND");
  frmMain->formShow2();
  frmCommand->Hide();
  EXPECT_EQ(readFile(workPath("cancPAIR.TDL")), "220000000101\r\n220000000103\r\n");
  EXPECT_EQ(readFile(workPath("cancTRIO.TDL")), "220000000104\r\n");
  EXPECT_FALSE(QFile::exists(workPath("cancSOLO.TDL")));
  EXPECT_FALSE(QFile::exists(workPath("cancIND.TDL")));
}

// A kill can leave a cancel file behind (shutdown deletes them): the second stage removes that
// of every group that wants wins, a count too long to read included, as the dispatch sees it.
// Only the cancel file as the portal names it goes, and only a regular file: no file of "IND",
// of a name in another letter case or of a name that is no group, and no folder or link.
TEST_F(GroupsTest, SecondStageRemovesTheCancelFilesOfGroupsThatWantWinsOnly) {
  writeFile(workPath("groups.tnq"),
            "IND\r\n\r\n1\r\nSOLO\r\n\r\n1\r\nBIG\r\n\r\n99999999999\r\nPAIR\r\n\r\n0\r\n"
            "DIR\r\n\r\n2\r\nLINK\r\n\r\n2\r\n");
  watchedIn("220000000101", "SOLO");
  watchedIn("220000000102", "PAIR");
  const QStringList removed = {"cancSOLO.TDL", "cancBIG.TDL"};
  const QStringList kept = {"cancIND.TDL", "cancsolo.TDL", "cancGONE.TDL", "linked.txt"};
  for (const QString& name : removed + kept) writeFile(workPath(name), "220000000101\r\n");
  ASSERT_TRUE(QDir(work_).mkdir("cancDIR.TDL"));
  ASSERT_TRUE(QFile::link("linked.txt", workPath("cancLINK.TDL")));
  frmMain->formShow2();
  frmCommand->Hide();
  EXPECT_TRUE(boxTexts().empty());
  for (const QString& name : removed)
    EXPECT_FALSE(QFile::exists(workPath(name))) << name.toStdString();
  for (const QString& name : kept)
    EXPECT_EQ(readFile(workPath(name)), "220000000101\r\n") << name.toStdString();
  EXPECT_TRUE(QFileInfo(workPath("cancDIR.TDL")).isDir());
  EXPECT_TRUE(QFileInfo(workPath("cancLINK.TDL")).isSymLink());
  EXPECT_EQ(readFile(workPath("cancPAIR.TDL")), "220000000102\r\n");
}

// "&Change" with a count that wants wins removes the group's cancel file, also a count too
// long to read (the dispatch hands the group's auctions over then); a link of that name stays.
TEST_F(GroupsTest, ChangeToACountThatWantsWinsRemovesTheCancelFileOnly) {
  for (const char* count : {"99999999999", "1"}) {
    SCOPED_TRACE(count);
    addRow(frmMain->lvGroups, {"LAMPS", "", "0"});
    writeFile(workPath("cancLAMPS.TDL"), "1\r\n");
    frmMain->edtGrpNme->SetText("LAMPS");
    frmMain->edtGrpHowMany->SetText(count);
    frmMain->btnChange->Click();
    EXPECT_FALSE(QFile::exists(workPath("cancLAMPS.TDL")));
    frmMain->lvGroups->Items()->Item(1)->Delete();
  }
  addRow(frmMain->lvGroups, {"LAMPS", "", "0"});
  writeFile(workPath("mine.txt"), "1\r\n");
  ASSERT_TRUE(QFile::link("mine.txt", workPath("cancLAMPS.TDL")));
  frmMain->edtGrpHowMany->SetText("2");
  frmMain->btnChange->Click();
  EXPECT_TRUE(QFileInfo(workPath("cancLAMPS.TDL")).isSymLink());
  EXPECT_EQ(readFile(workPath("mine.txt")), "1\r\n");
}

// A cancel file whose name leads to no regular file (here the buyer's link to a fifo) is not
// replaced: its save fails and says so, as every save that fails.
TEST_F(GroupsTest, CancelFileThatIsNoRegularFileIsLeftAsItIsAndTheFailureTold) {
  addGroup("PAIR", "", "1");
  watchedIn("220000000101", "PAIR");
  ASSERT_EQ(mkfifo(workPath("pipe").toLocal8Bit().constData(), 0600), 0);
  ASSERT_TRUE(QFile::link("pipe", workPath("cancPAIR.TDL")));
  boxes_.clear();
  frmMain->decGroup("PAIR");
  EXPECT_EQ(boxTexts(), (Texts{"Cancel file not saved: Cannot replace pipe: Not a regular file"}));
  struct stat info {};
  ASSERT_EQ(lstat(workPath("pipe").toLocal8Bit().constData(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_TRUE(QFileInfo(workPath("cancPAIR.TDL")).isSymLink());
}

TEST_F(GroupsTest, BadCountsAndPathLikeNamesFromTheFileAreHandledSafely) {
  addRow(frmMain->lvGroups, {"BIG", "", "99999999999"});
  addRow(frmMain->lvGroups, {"../up", "", "1"});
  watchedIn("220000000101", "../up");
  EXPECT_TRUE(frmMain->stlNdPrchseFrmGrp("BIG"));
  frmMain->decGroup("BIG");
  EXPECT_EQ(cellsOf(frmMain->lvGroups->Items()->Item(1)).back(), "99999999999");
  frmMain->decGroup("../up");
  EXPECT_FALSE(QFile::exists(root_.path() + "/cancup.TDL"));
  EXPECT_FALSE(QFile::exists(work_ + "/canc../up.TDL"));
}

// A group name from an edited "groups.tnq" that cannot be part of a file name gets no cancel
// file, inside the working folder or outside it (the folders a write would reach are there), and
// the user is told so once in the run: at the start's second stage or at the win that satisfies
// the group, and not again for that group.
TEST_F(GroupsTest, CancelFileOfANameThatCannotBeAFileNameIsToldOnceAndNotWritten) {
  for (const char* folder : {"canc..", "canca", "canc"}) ASSERT_TRUE(QDir(work_).mkdir(folder));
  writeFile(workPath("groups.tnq"),
            "IND\r\n\r\n1\r\n../x\r\n\r\n0\r\na/b\r\n\r\n0\r\n/../../x\r\n\r\n1\r\n");
  watchedIn("220000000101", "../x");
  watchedIn("220000000102", "a/b");
  watchedIn("220000000103", "/../../x");
  const auto told = [](const char* name) {
    return "Cancel file not saved: the group name \"" + std::string(name) +
           "\" cannot be part of a file name.";
  };
  frmMain->formShow2();
  frmCommand->Hide();
  ASSERT_EQ(boxTexts(), (Texts{told("../x"), told("a/b")}));
  EXPECT_EQ(boxes_.front().type, mtError);
  boxes_.clear();
  frmMain->launchCancelSnipesText("../x");
  frmMain->decGroup("/../../x");
  frmMain->launchCancelSnipesText("/../../x");
  frmMain->launchCancelSnipesText("a/b");
  EXPECT_EQ(boxTexts(), (Texts{told("/../../x")}));
  for (const char* folder : {"canc..", "canca", "canc"})
    EXPECT_TRUE(QDir(workPath(folder)).isEmpty()) << folder;
  EXPECT_FALSE(QFile::exists(root_.path() + "/x.TDL"));
}

// The name goes into the cancel file's name: one that cannot be part of a file name is
// refused when the group is added, with the same check that item numbers pass.
TEST_F(GroupsTest, NameThatCannotBePartOfAFileNameIsRefused) {
  for (const std::string& name :
       {std::string("lamps/chairs"), std::string("back\\slash"), std::string("c:lamps"),
        std::string("up.."), std::string("tab\tname"), std::string(201, 'L')}) {
    SCOPED_TRACE(name);
    boxes_.clear();
    addGroup(name.c_str(), "", "1");
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_EQ(boxTexts()[0].rfind("Group Name cannot be part of a file name", 0), 0u)
        << boxTexts()[0];
    EXPECT_EQ(boxes_[0].type, mtError);
    EXPECT_EQ(groupRows().size(), 1u);
  }
  EXPECT_FALSE(QFile::exists(workPath("groups.tnq")));
}

// A count that changes and cannot be written is told; the group keeps its new count in memory.
TEST_F(GroupsTest, CountThatCannotBeWrittenIsTold) {
  addGroup("LAMPS", "", "2");
  QFile::remove(workPath("groups.tnq"));
  QDir().mkpath(workPath("groups.tnq"));
  frmMain->decGroup("LAMPS");
  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0].rfind("Group list not saved: ", 0), 0u) << boxTexts()[0];
  EXPECT_EQ(groupRows().back().back(), "1");
}

TEST_F(GroupsTest, PlacingAnAuctionInAGroupNeedsASelectedRow) {
  TListItem* row = addWatched("220000000101");
  addGroup("LAMPS", "", "1");
  frmMain->lvShowAll->SetSelected(nullptr);
  frmMain->EditItemGroup1->Click();
  EXPECT_EQ(frmMain->PageControl1->ActivePage(), frmMain->tsItemInGroup);
  ASSERT_EQ(boxTexts().size(), 1u);  // the page's show handler ran once
  EXPECT_EQ(boxes_[0].type, mtWarning);
  EXPECT_TRUE(frmMain->MInstruct->Visible());

  boxes_.clear();
  frmMain->lvShowAll->SetSelected(row);
  frmMain->EditItemGroup1->Click();  // page already showing: the handler runs all the same
  EXPECT_TRUE(boxTexts().empty());
  EXPECT_FALSE(frmMain->MInstruct->Visible());
  EXPECT_EQ(frmMain->edtNumTitle->Text().str(), "220000000101 Title 220000000101");
  ASSERT_EQ(frmMain->comGroup->Items()->Count(), 2);
  frmMain->comGroup->SetText("LAMPS");
  frmMain->comGroupChange(frmMain->comGroup);
  EXPECT_EQ(cellText(row, siGroup).str(), "LAMPS");

  frmMain->lvShowAll->SetSelected(nullptr);
  frmMain->comGroupChange(frmMain->comGroup);
  EXPECT_EQ(boxTexts(), (Texts{"Attempt to change group name with no item selected."}));
}

}  // namespace
