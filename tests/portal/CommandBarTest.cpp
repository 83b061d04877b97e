// The command bar: its buttons, its page switching, its docking to the main window, and the
// trace lines it leaves (none of its own).
#include <QApplication>
#include <QWidget>

#include "ScheduleFixture.h"

namespace {

using Texts = std::vector<std::string>;

class CommandBarTest : public ScheduleFixture {
 protected:
  void SetUp() override {
    ScheduleFixture::SetUp();
    // Both windows on screen without the first show's start-up work.
    firstShow = false;
    frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
    frmMain->pcViews->SetActivePage(frmMain->tsGridAll);
    frmMain->Show();
    frmMain->SetBounds(192, 114, 593, 440);
    frmCommand->Hide();
    frmCommand->SetBounds(922, 112, 164, 429);
    markLog();
  }
  void TearDown() override {
    frmCommand->Hide();
    frmMain->Hide();
    ScheduleFixture::TearDown();
  }
  // A watched auction that ends an hour from now, with its end-time entry.
  void openAuction(const std::string& item) {
    addWatched(item);
    addRow(frmMain->lvAllTdate, {item, endIn(3600).str(), "1"});
  }
  static void expectDocked() {
    EXPECT_EQ(frmCommand->Left(), frmMain->Left() + frmMain->Width() + 1);
    EXPECT_EQ(frmCommand->Top(), frmMain->Top());
    EXPECT_EQ(frmCommand->Height(), frmMain->Height());
  }
};

TEST_F(CommandBarTest, VisibleButtonsAreFlatBoldAndInOrderAndTheHiddenOnesCarryTheirCaptions) {
  struct Expected {
    TSpeedButton* button;
    const char* caption;
    int width, height;
  };
  const Expected visible[] = {
      {frmCommand->spdShowAll, "Main", 162, 25},
      {frmCommand->spdAddAuction, "Add Auction", 162, 25},
      {frmCommand->spdActiveOutbid, "Active: Outbid", 162, 25},
      {frmCommand->spdActiveHighBidder, "Active: High Bidder", 162, 25},
      {frmCommand->spdActiveWaitingToBid, "Active: Waiting To Bid", 162, 25},
      {frmCommand->spdClosedLost, "Closed: Lost", 162, 25},
      {frmCommand->spdClosedWon, "Closed: Won", 162, 25},
      {frmCommand->SpeedButton3, "Plan Costs", 158, 22},
      {frmCommand->spdPreferences, "Preferences", 162, 25},
      {frmCommand->btnTabs, "Tabs", 153, 25},
      {frmCommand->spdArchiveData, "Archive Data", 162, 25},
      {frmCommand->spdManageItemGroups, "Manage Item Groups", 162, 25},
      {frmCommand->spdSprtCntr, "Support Center", 162, 25},
      {frmCommand->SpeedButton2, "Alarm", 83, 25},
      {frmCommand->SpeedButton1, "Egg Timer", 83, 25},
      {frmCommand->spdHelp, "Help", 162, 25},
  };
  int lastTop = -1;
  for (const Expected& entry : visible) {
    SCOPED_TRACE(entry.caption);
    EXPECT_EQ(entry.button->Caption().str(), entry.caption);
    EXPECT_EQ(entry.button->Width(), entry.width);
    EXPECT_EQ(entry.button->Height(), entry.height);
    EXPECT_TRUE(entry.button->Flat());
    EXPECT_EQ(entry.button->Font()->Style(), fsBold);
    EXPECT_TRUE(entry.button->Visible());
    EXPECT_GE(entry.button->Top(), lastTop);
    lastTop = entry.button->Top();
  }
  EXPECT_EQ(frmCommand->btnTabs->Top(), 224);
  EXPECT_EQ(frmCommand->SpeedButton2->Top(), frmCommand->SpeedButton1->Top());

  const std::pair<TButton*, const char*> hidden[] = {
      {frmCommand->btnGetOffset, "Get Offset"},  {frmCommand->btnSaveLVShowAll, "save lv"},
      {frmCommand->btnLoadLVShowAll, "load lv"}, {frmCommand->btnTarn, "test"},
      {frmCommand->btnSvOptns, "saveOptions"},   {frmCommand->btnLdOptns, "loadOptions"},
      {frmCommand->Button2, "refresh"},          {frmCommand->Button3, "launch snipe"},
  };
  frmCommand->Show();
  for (const auto& [button, caption] : hidden) {
    EXPECT_EQ(button->Caption().str(), caption);
    EXPECT_FALSE(button->Widget()->isVisible()) << caption;
    EXPECT_EQ(button->Width(), 25);
    EXPECT_TRUE(button->OnClick) << caption;
  }
  // A hidden button's click runs the main window's routine: here the watch list is saved.
  addWatched("220000000101");
  frmCommand->btnSaveLVShowAll->Click();
  EXPECT_TRUE(QFile::exists(workPath("lvshowall.txt")));
}

TEST_F(CommandBarTest, BorderIconsAreTheLayoutsOnBothWindows) {
  const Qt::WindowFlags bar = frmCommand->Widget()->windowFlags();
  EXPECT_FALSE(bar & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                      Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(bar & Qt::WindowTitleHint);
  const Qt::WindowFlags main = frmMain->Widget()->windowFlags();
  EXPECT_TRUE(main & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(main & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(main & Qt::WindowMaximizeButtonHint);
}

TEST_F(CommandBarTest, PageButtonsShowTheirPagesAndWriteNoTraceLineOfTheirOwn) {
  struct Case {
    TSpeedButton* button;
    TTabSheet* page;
    TTabSheet* view;  // the view page of pcViews, when the button chooses one
  };
  const Case cases[] = {
      {frmCommand->spdActiveOutbid, frmMain->tsShowAll, frmMain->tsViewActOut},
      {frmCommand->spdActiveHighBidder, frmMain->tsShowAll, frmMain->tsHighBidder},
      {frmCommand->spdActiveWaitingToBid, frmMain->tsShowAll, frmMain->tsActiveWaitingToBid},
      {frmCommand->spdClosedLost, frmMain->tsShowAll, frmMain->tsClosedLost},
      {frmCommand->spdClosedWon, frmMain->tsShowAll, frmMain->tsClosedWon},
      {frmCommand->spdShowAll, frmMain->tsShowAll, frmMain->tsGridAll},
      {frmCommand->SpeedButton3, frmMain->tsBudgeWrksht, nullptr},
      {frmCommand->spdPreferences, frmMain->tsPreferences, nullptr},
      {frmCommand->spdArchiveData, frmMain->tsArchiveData, nullptr},
      {frmCommand->spdManageItemGroups, frmMain->tsManageItemGroups, nullptr},
      {frmCommand->spdSprtCntr, frmMain->tsSprtCntr, nullptr},
      {frmCommand->SpeedButton2, frmMain->tsAlarm, nullptr},
      {frmCommand->SpeedButton1, frmMain->tsEggTimer, nullptr},
      {frmCommand->spdHelp, frmMain->tsHelp, nullptr},
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.button->Caption().str());
    entry.button->Click();
    EXPECT_EQ(frmMain->PageControl1->ActivePage(), entry.page);
    if (entry.view) {
      EXPECT_EQ(frmMain->pcViews->ActivePage(), entry.view);
    }
  }
  // The view pages' show handlers log, the buttons themselves nothing.
  const QStringList log = takeLog();
  for (const QString& line : log)
    EXPECT_TRUE(line.endsWith("Show(TObject *Sender)")) << line.toStdString();
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(CommandBarTest, ActiveOutbidFromAnotherPageShowsTheMainPageAndRebuildsTheView) {
  openAuction("220000000101");
  frmCommand->spdActiveOutbid->Click();
  EXPECT_EQ(captionsOf(frmMain->lvActiveOutbid), (Texts{"220000000101"}));
  // Elsewhere, with the view page still the active one of pcViews: the view comes into sight
  // again and is rebuilt from the watch list as it is now.
  frmCommand->spdPreferences->Click();
  openAuction("220000000102");
  frmCommand->spdActiveOutbid->Click();
  EXPECT_EQ(frmMain->PageControl1->ActivePage(), frmMain->tsShowAll);
  EXPECT_EQ(frmMain->pcViews->ActivePage(), frmMain->tsViewActOut);
  EXPECT_EQ(captionsOf(frmMain->lvActiveOutbid), (Texts{"220000000101", "220000000102"}));
}

TEST_F(CommandBarTest, TabsPressedTwiceRestoresTheTabLayout) {
  const bool multiLine = frmMain->PageControl1->MultiLine();
  frmCommand->btnTabs->Click();
  EXPECT_NE(frmMain->PageControl1->MultiLine(), multiLine);
  frmCommand->btnTabs->Click();
  EXPECT_EQ(frmMain->PageControl1->MultiLine(), multiLine);
}

TEST_F(CommandBarTest, AddAuctionExplainsThenOpensTheHelpFile) {
  writeFile(workPath("tarnwick.hlp"), "help");
  frmCommand->spdAddAuction->Click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.str(),
            "Add an auction: Click MAIN on command bar and enter auction number in the box that "
            "says \"Enter eBay item number.\"");
  EXPECT_EQ(boxes_[0].type, mtInformation);
  EXPECT_EQ(boxes_[0].buttons, std::vector<TMsgDlgBtn>{mbOK});
  EXPECT_EQ(takeLog(), QStringList{"TAG:btnPrgrmHlpClick(TObject *Sender)"});
  EXPECT_TRUE(
      awaitLines(workPath("opener.log"), 1).endsWith("\t" + work_.toUtf8() + "\ttarnwick.hlp\n"));
}

TEST_F(CommandBarTest, MovingTheMainWindowDragsTheBarAlong) {
  frmCommand->Show();
  EXPECT_EQ(frmCommand->Left(), 922);  // the design position until the main window moves
  frmMain->SetBounds(40, 30, 593, 440);
  expectDocked();
  EXPECT_EQ(frmCommand->Left(), 40 + 593 + 1);
  frmMain->SetBounds(60, 70, 620, 500);
  expectDocked();
  EXPECT_EQ(frmCommand->Width(), 164);
  const QStringList log = takeLog();
  EXPECT_GE(calls(log, "TAG:MyMove(TWMMove & Message)"), 1);
  EXPECT_GE(calls(log, "TAG:FormResize(TObject *Sender)"), 2);
}

TEST_F(CommandBarTest, AMainWindowShorterThanTheBarsLeastHeightSnapsBoth) {
  frmCommand->Show();
  frmMain->SetHeight(120);
  const int leastHeight = frmCommand->btnTabs->Top() + frmCommand->btnTabs->Height();
  EXPECT_EQ(leastHeight, 249);
  EXPECT_EQ(frmCommand->ClientHeight(), leastHeight);
  EXPECT_EQ(frmMain->Height(), frmCommand->Height());
  expectDocked();
  // Tall enough: the heights just follow.
  frmMain->SetHeight(300);
  EXPECT_EQ(frmCommand->Height(), 300);
}

TEST_F(CommandBarTest, WhileTheBarIsHiddenResizingTheMainWindowDoesNothingToIt) {
  frmMain->SetBounds(40, 30, 593, 120);
  frmMain->SetHeight(100);
  EXPECT_EQ(frmCommand->Left(), 922);
  EXPECT_EQ(frmCommand->Top(), 112);
  EXPECT_EQ(frmCommand->Height(), 429);
  EXPECT_EQ(frmMain->Height(), 100);
}

// (The offscreen platform activates every window it shows, so the request is what is seen.)
TEST_F(CommandBarTest, TheBarAsksToBeShownWithoutTakingTheKeyboardFocus) {
  // What is typed at once goes into the item number box of the main window.
  frmMain->Widget()->activateWindow();
  pumpUntil([] { return QApplication::focusWidget() != nullptr; }, 1000);
  EXPECT_EQ(QApplication::focusWidget(), frmMain->edtNewItem->Widget());
  frmCommand->Show();
  EXPECT_FALSE(frmCommand->ActivateOnShow());
  EXPECT_TRUE(frmCommand->Widget()->testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_TRUE(frmMain->ActivateOnShow());
  EXPECT_EQ(frmCommand->spdShowAll->Widget()->focusPolicy(), Qt::NoFocus);
}

}  // namespace
