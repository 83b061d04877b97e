// Both windows under a real window manager (openbox on a virtual X server), which draws caption
// boxes as it likes: what the windows ask of it, what they do with its close, minimise and
// maximise, and screenshots of the screen as it stands, frames included.
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include "MainWindowFixture.h"
#include "UnderOpenbox.h"

namespace {

const QString shotDir = QStringLiteral(PORTAL_SCREENSHOT_DIR);

// The bits of the Motif window-manager hints.
constexpr unsigned mwmFunctionsGiven = 1, mwmDecorationsGiven = 2;
constexpr unsigned mwmFuncMinimize = 8, mwmFuncMaximize = 16, mwmFuncClose = 32;
constexpr unsigned mwmDecorMenu = 16, mwmDecorMinimize = 32, mwmDecorMaximize = 64;

// Counts the close requests and the window states that reach a window.
class WindowEvents : public QObject {
 public:
  explicit WindowEvents(QWidget* window) : window_(window) { window->installEventFilter(this); }
  ~WindowEvents() override { window_->removeEventFilter(this); }
  int closes = 0;
  int minimised = 0;
  int maximised = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Close) ++closes;
    if (event->type() == QEvent::WindowStateChange) {
      if (window_->windowState() & Qt::WindowMinimized) ++minimised;
      if (window_->windowState() & Qt::WindowMaximized) ++maximised;
    }
    return false;
  }

 private:
  QWidget* window_;
};

class UnderOpenboxTest : public MainWindowFixture {
 protected:
  static void SetUpTestSuite() {
    if (xServerFailure().empty()) MainWindowFixture::SetUpTestSuite();
  }
  void SetUp() override {
    if (!xServerFailure().empty()) GTEST_SKIP() << "no X server: " << xServerFailure();
    ASSERT_EQ(windowManagerFailure(), "");
    MainWindowFixture::SetUp();
    firstShow = false;
    frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
    frmMain->pcViews->SetActivePage(frmMain->tsGridAll);
    frmMain->Show();
    frmCommand->Show();
    ASSERT_TRUE(managed(frmMain));
    ASSERT_TRUE(managed(frmCommand));
    // Moving the main window docks the bar beside it.
    frmMain->SetBounds(40, 40, 593, 440);
    pumpFor(300);
  }
  void TearDown() override {
    if (!xServerFailure().empty()) return;
    frmCommand->Hide();
    frmMain->Hide();
    pumpFor(100);
    MainWindowFixture::TearDown();
  }

  static QString idOf(const TForm* form) {
    return "0x" + QString::number(form->Widget()->winId(), 16);
  }
  // Runs an X tool on the session's display; its standard output.
  static QString xtool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    EXPECT_TRUE(tool.waitForFinished(10000)) << program.toStdString();
    EXPECT_EQ(tool.exitCode(), 0) << program.toStdString() << " "
                                  << tool.readAllStandardError().toStdString();
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
  }
  static QString property(const TForm* form, const char* name) {
    return xtool("xprop", {"-id", idOf(form), name});
  }
  // The window's state as the manager keeps it: "Normal" or "Iconic".
  static bool inState(const TForm* form, const char* state) {
    return property(form, "WM_STATE").contains(QString("window state: ") + state);
  }
  static bool maximisedByTheManager(const TForm* form) {
    return property(form, "_NET_WM_STATE").contains("MAXIMIZED");
  }
  // Shown and managed: mapped, its frame around it.
  static bool managed(const TForm* form) {
    return pumpUntil([form] { return inState(form, "Normal"); }, 10000) &&
           pumpUntil([form] { return !property(form, "_NET_FRAME_EXTENTS").contains("not found"); },
                     10000);
  }
  static void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
  }
  // flags, functions, decorations of the window's Motif hints.
  static std::vector<unsigned> motifHints(const TForm* form) {
    const QString text = property(form, "_MOTIF_WM_HINTS");
    std::vector<unsigned> values;
    const QRegularExpression number("0x[0-9a-fA-F]+|\\b\\d+\\b");
    for (auto it = number.globalMatch(text.section('=', 1)); it.hasNext();)
      values.push_back(it.next().captured().toUInt(nullptr, 0));
    values.resize(3);
    return values;
  }
  static bool save(const QString& name) {
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString file = shotDir + "/" + name + ".png";
    QFile::remove(file);
    return !shot.isNull() && shot.save(file, "PNG") && QImage(file).size() == shot.size();
  }
};

TEST_F(UnderOpenboxTest, TheBarAsksForNoCaptionBoxes) {
  const std::vector<unsigned> hints = motifHints(frmCommand);
  ASSERT_TRUE(hints[0] & mwmFunctionsGiven) << hints[0];
  EXPECT_FALSE(hints[1] & (mwmFuncMinimize | mwmFuncMaximize | mwmFuncClose)) << hints[1];
}

// The manager draws a close box and a minimise box on the bar whatever it asks for; the bar
// stays through both, and through the manager's maximise.
TEST_F(UnderOpenboxTest, TheBarStaysOnScreenThroughTheManagersCloseMinimiseAndMaximise) {
  WindowEvents seen(frmCommand->Widget());
  const int height = frmCommand->Height();

  xtool("wmctrl", {"-i", "-c", idOf(frmCommand)});
  ASSERT_TRUE(pumpUntil([&] { return seen.closes > 0; }, 10000)) << "no close request came";
  pumpFor(300);
  EXPECT_TRUE(frmCommand->Visible());
  EXPECT_TRUE(inState(frmCommand, "Normal"));

  xtool("xdotool", {"windowminimize", idOf(frmCommand)});
  ASSERT_TRUE(pumpUntil([&] { return seen.minimised > 0; }, 10000)) << "never minimised";
  EXPECT_TRUE(pumpUntil([] { return inState(frmCommand, "Normal"); }, 5000));
  EXPECT_FALSE(frmCommand->Widget()->windowState() & Qt::WindowMinimized);

  xtool("wmctrl", {"-i", "-r", idOf(frmCommand), "-b", "add,maximized_vert,maximized_horz"});
  ASSERT_TRUE(pumpUntil([&] { return seen.maximised > 0; }, 10000)) << "never maximised";
  EXPECT_TRUE(pumpUntil([] { return !maximisedByTheManager(frmCommand); }, 5000));
  EXPECT_TRUE(pumpUntil([&] { return frmCommand->Height() == height; }, 5000))
      << frmCommand->Height();
  EXPECT_TRUE(frmCommand->Visible());
}

// System menu and minimise box only: what the main window asks for, and a maximise that the
// manager makes all the same is undone, while its minimise holds.
TEST_F(UnderOpenboxTest, TheMainWindowHasNoMaximiseButMinimises) {
  const std::vector<unsigned> hints = motifHints(frmMain);
  ASSERT_EQ(hints[0] & (mwmFunctionsGiven | mwmDecorationsGiven),
            mwmFunctionsGiven | mwmDecorationsGiven);
  EXPECT_EQ(hints[1] & (mwmFuncMinimize | mwmFuncMaximize | mwmFuncClose),
            mwmFuncMinimize | mwmFuncClose);
  EXPECT_EQ(hints[2] & (mwmDecorMenu | mwmDecorMinimize | mwmDecorMaximize),
            mwmDecorMenu | mwmDecorMinimize);

  WindowEvents seen(frmMain->Widget());
  const QRect frame(frmMain->Left(), frmMain->Top(), frmMain->Width(), frmMain->Height());
  xtool("wmctrl", {"-i", "-r", idOf(frmMain), "-b", "add,maximized_vert,maximized_horz"});
  ASSERT_TRUE(pumpUntil([&] { return seen.maximised > 0; }, 10000)) << "never maximised";
  EXPECT_TRUE(pumpUntil([] { return !maximisedByTheManager(frmMain); }, 5000));
  EXPECT_TRUE(pumpUntil(
      [&] {
        return QRect(frmMain->Left(), frmMain->Top(), frmMain->Width(), frmMain->Height()) == frame;
      },
      5000));

  xtool("xdotool", {"windowminimize", idOf(frmMain)});
  ASSERT_TRUE(pumpUntil([&] { return seen.minimised > 0; }, 10000)) << "never minimised";
  pumpFor(500);
  EXPECT_TRUE(inState(frmMain, "Iconic"));
  xtool("wmctrl", {"-i", "-a", idOf(frmMain)});
  EXPECT_TRUE(pumpUntil([] { return inState(frmMain, "Normal"); }, 5000));
}

TEST_F(UnderOpenboxTest, ScreenshotsOfBothWindowsAndTheWorksheet) {
  for (const char* item : {"220000000101", "220000000102", "220000000103"}) addWatched(item);
  pumpFor(300);
  EXPECT_TRUE(save("openbox-frmMain-with-command-bar"));
  frmMain->AddAllToWorksheet1->Click();
  pumpFor(300);
  EXPECT_TRUE(save("openbox-frmMain-tsBudgeWrksht"));
}

}  // namespace
