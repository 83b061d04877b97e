// Screenshots into the build tree: the main window with the command bar docked beside it, and
// each page of the main window, drawn offscreen as the layout says.
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include "MainWindowFixture.h"
#include "agent/Tnwfr.h"

namespace {

const QString shotDir = QStringLiteral(PORTAL_SCREENSHOT_DIR);

class ScreenshotsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    firstShow = false;
    for (const char* item : {"220000000101", "220000000102", "220000000103"}) addWatched(item);
    frmMain->Show();
    frmCommand->Show();
    frmMain->SetBounds(0, 0, 593, 440);
    frmMain->pcViews->SetActivePage(frmMain->tsGridAll);
  }
  void TearDown() override {
    frmCommand->Hide();
    frmMain->Hide();
    MainWindowFixture::TearDown();
  }
  static bool save(const QPixmap& shot, const QString& name) {
    const QString file = shotDir + "/" + name + ".png";
    QFile::remove(file);
    return shot.save(file, "PNG") && QImage(file).size() == shot.size();
  }
};

TEST_F(ScreenshotsTest, TheMainWindowWithTheBarDockedBesideIt) {
  frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
  ASSERT_EQ(frmCommand->Left(), frmMain->Left() + frmMain->Width() + 1);
  const QPixmap main = frmMain->Widget()->grab();
  const QPixmap bar = frmCommand->Widget()->grab();
  // The two windows as they stand on the screen, their client areas at their places.
  const QPoint mainAt = frmMain->Widget()->geometry().topLeft();
  const QPoint barAt = frmCommand->Widget()->geometry().topLeft() - mainAt;
  QPixmap both(barAt.x() + bar.width(), std::max(main.height(), barAt.y() + bar.height()));
  both.fill(Qt::darkGray);
  QPainter painter(&both);
  painter.drawPixmap(0, 0, main);
  painter.drawPixmap(barAt, bar);
  painter.end();
  EXPECT_TRUE(save(both, "frmMain-with-command-bar"));
}

TEST_F(ScreenshotsTest, EachPageOfTheMainWindow) {
  for (bool multiLine : {false, true}) {
    frmMain->PageControl1->SetMultiLine(multiLine);
    for (int i = 0; i < frmMain->PageControl1->PageCount(); ++i) {
      TTabSheet* page = frmMain->PageControl1->Pages(i);
      frmMain->PageControl1->SetActivePage(page);
      const QString name = "frmMain-" + page->Name().toQString() + (multiLine ? "-tabs" : "");
      if (multiLine && page != frmMain->tsShowAll) continue;
      EXPECT_TRUE(save(frmMain->Widget()->grab(), name)) << name.toStdString();
    }
  }
  frmMain->PageControl1->SetMultiLine(false);
  frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
  for (int i = 0; i < frmMain->pcViews->PageCount(); ++i) {
    TTabSheet* view = frmMain->pcViews->Pages(i);
    frmMain->pcViews->SetActivePage(view);
    EXPECT_TRUE(save(frmMain->Widget()->grab(), "frmMain-" + view->Name().toQString()));
  }
  frmMain->SetpanStat(1);
  EXPECT_TRUE(save(frmMain->Widget()->grab(), "frmMain-pnlPleaseWait"));
  frmMain->SetpanStat(0);
}

TEST_F(ScreenshotsTest, ThePlanSheetOfTheWatchList) {
  frmMain->AddAllToWorksheet1->Click();
  Application->ProcessMessages();
  EXPECT_TRUE(save(frmMain->Widget()->grab(), "frmMain-tsBudgeWrksht-plan"));
}

TEST_F(ScreenshotsTest, TheAgentsWindow) {
  TfrmRefresh agent(nullptr);
  // Shown without its first show's run, which needs a watch-list file.
  agent.Widget()->show();
  EXPECT_TRUE(save(agent.Widget()->grab(), "frmRefresh"));
  agent.Widget()->hide();
}

}  // namespace
