#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QWidget>
#include <memory>

#include "FloodingWindow.h"
#include "FormsTestSupport.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "forms/Timer.h"
#include "win32/findwindow.h"

namespace {

// Each test makes its own main form and frees it, which ends that run of the application.
class ApplicationTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    Application->CreateForm(main_);
    main_->SetCaption("Tarnwick forms test main");
    main_->OnClose = [this](TObject*, TCloseAction&) { ++closes_; };
    SetDialogResponder([this](const DialogRequest& request) {
      boxes_.push_back(request);
      return DefaultDialogAnswer(request);
    });
  }
  void TearDown() override {
    Application->OnException = nullptr;
    delete main_;
    FormsTest::TearDown();
  }
  // A timer on the main form whose ticks run the given steps, one per tick.
  TTimer* ticking(std::vector<std::function<void()>> steps) {
    auto* timer = new TTimer(main_);
    timer->SetInterval(5);
    // The step count lives outside the handler: handlers are copied before they run.
    auto next = std::make_shared<std::size_t>(0);
    timer->OnTimer = [steps = std::move(steps), next](TObject*) {
      if (*next < steps.size()) steps[(*next)++]();
    };
    return timer;
  }

  TForm* main_ = nullptr;
  int closes_ = 0;
  std::vector<DialogRequest> boxes_;
};

TEST_F(ApplicationTest, CloseBeforeRunMakesRunReturnAtOnce) {
  bool created = false;
  TForm* second = nullptr;
  Application->CreateForm(second);
  second->OnCreate = [&](TObject*) { created = true; };  // already fired: set too late
  EXPECT_EQ(Application->MainForm(), main_);
  main_->Close();
  EXPECT_EQ(closes_, 1);
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(created);
  delete second;
}

TEST_F(ApplicationTest, RunShowsTheMainFormAndEndsWhenItCloses) {
  ticking({[this] { main_->Close(); }});
  Application->Run();
  EXPECT_EQ(closes_, 1);
  EXPECT_FALSE(main_->Visible());
}

TEST_F(ApplicationTest, AHandlerThatThrowsLeavesRunWithItsExceptionAndNoOnClose) {
  int handled = 0;
  Application->OnException = [&](TObject*, Exception* E) {
    ++handled;
    throw Exception(E->Message() + " A general error occured.");
  };
  ticking({[] { throw Exception("boom"); }, [this] { main_->Close(); }});
  try {
    Application->Run();
    FAIL() << "Run returned normally";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "boom A general error occured.");
  }
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(closes_, 0);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ApplicationTest, AnExceptionFromAnyQtEventReachesTheHandlerAsAnEmptyMessage) {
  AnsiString seen = "unset";
  Application->OnException = [&](TObject*, Exception* E) {
    seen = E->Message();
    throw Exception("leaving");
  };
  main_->Show();
  // A queued call of some other layer, thrown object not an Exception.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { throw 42; }, Qt::QueuedConnection);
  EXPECT_THROW(Application->Run(), Exception);
  EXPECT_EQ(seen, "");
  EXPECT_EQ(closes_, 0);
}

TEST_F(ApplicationTest, WithoutAHandlerTheExceptionIsShownAndTheLoopGoesOn) {
  Application->SetTitle("Tarnwick Refresh Grid");
  ticking({[] { throw Exception("Possible error"); }, [this] { main_->Close(); }});
  Application->Run();
  EXPECT_EQ(closes_, 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].kind, DialogKind::Exception);
  EXPECT_EQ(boxes_[0].text, "Possible error");
  EXPECT_EQ(boxes_[0].caption, "Tarnwick Refresh Grid");
  EXPECT_EQ(boxes_[0].type, mtError);
}

// A window that keeps posting to itself (as a flooded socket's notices do) does not hold the
// application's pump: it returns after its pass.
TEST_F(ApplicationTest, ProcessMessagesEndsItsPassWhileAWindowKeepsTheQueueFull) {
  FloodingWindow flood;
  QElapsedTimer pass;
  pass.start();
  Application->ProcessMessages();
  EXPECT_LT(pass.elapsed(), 1000);
}

// A form whose message map records the window's moves.
class MovingForm : public TForm {
 public:
  using TForm::TForm;
  void Dispatch(TMessage& message) override {
    if (message.Msg == WM_MOVE) moves.push_back(TWMMove(message).XPos);
    TForm::Dispatch(message);
  }
  std::vector<int> moves;
};

TEST_F(ApplicationTest, AShownFormIsFindableByCaptionAndReportsMoves) {
  MovingForm form(nullptr);
  form.SetCaption("Tarnwick Refresh Data Agent test");
  int shows = 0;
  form.OnShow = [&](TObject*) { ++shows; };
  EXPECT_EQ(FindWindowA(nullptr, "Tarnwick Refresh Data Agent test"), nullptr);
  form.Show();
  form.Show();
  EXPECT_EQ(shows, 1);
  EXPECT_NE(FindWindowA(nullptr, "Tarnwick Refresh Data Agent test"), nullptr);
  form.SetLeft(140);
  spin(20);
  ASSERT_FALSE(form.moves.empty());
  EXPECT_EQ(form.moves.back(), form.Widget()->geometry().x());
  form.Close();
  EXPECT_EQ(FindWindowA(nullptr, "Tarnwick Refresh Data Agent test"), nullptr);
}

}  // namespace

namespace {

// What the window manager asks (a close request, a minimise, a maximise) against what the
// border icons offer. The manager is played here by the widget's own calls, which reach the
// form as the manager's requests do.
TEST_F(ApplicationTest, AFormKeepsToItsBorderIconsWhateverTheManagerDoes) {
  TForm bare(nullptr);
  bare.SetBorderIcons(0);
  bare.Show();
  bare.Widget()->close();
  EXPECT_TRUE(bare.Visible());
  bare.Widget()->showMinimized();
  spin(20);
  EXPECT_FALSE(bare.Widget()->windowState() & Qt::WindowMinimized);
  bare.Widget()->showMaximized();
  spin(20);
  EXPECT_FALSE(bare.Widget()->windowState() & Qt::WindowMaximized);
  // The program's own requests stand.
  bare.OnClose = [](TObject*, TCloseAction& action) { action = caMinimize; };
  bare.Close();
  spin(20);
  EXPECT_TRUE(bare.Widget()->windowState() & Qt::WindowMinimized);
  bare.OnClose = nullptr;
  bare.Close();
  EXPECT_FALSE(bare.Visible());

  TForm boxed(nullptr);
  boxed.SetBorderIcons(biSystemMenu | biMinimize);
  boxed.Show();
  boxed.Widget()->showMinimized();
  spin(20);
  EXPECT_TRUE(boxed.Widget()->windowState() & Qt::WindowMinimized);
  boxed.Widget()->showNormal();
  boxed.Widget()->showMaximized();
  spin(20);
  EXPECT_FALSE(boxed.Widget()->windowState() & Qt::WindowMaximized);
  boxed.Widget()->close();
  EXPECT_FALSE(boxed.Visible());
}

}  // namespace
