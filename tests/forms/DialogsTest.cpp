#include <QCoreApplication>
#include <QWidget>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "forms/Application.h"
#include "forms/DialogBox.h"
#include "forms/Dialogs.h"
#include "forms/Form.h"
#include "lib/Exceptions.h"

namespace {

using DialogsTest = FormsTest;

std::string readFile(const char* name) {
  std::ifstream file(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST_F(DialogsTest, TheResponderSeesEachBoxAndAnswersIt) {
  std::vector<DialogRequest> seen;
  SetDialogResponder([&](const DialogRequest& request) {
    seen.push_back(request);
    if (request.kind == DialogKind::Input) return DialogAnswer{mrOk, "25.50"};
    return DialogAnswer{mrRetry, {}};
  });
  EXPECT_EQ(MessageDlg("Error calculating eBay time offset.  Error # 1221-2358.", mtError,
                       TMsgDlgButtons() << mbRetry << mbAbort, 0),
            mrRetry);
  EXPECT_EQ(
      InputBox("Changing Snipe Amount", "Enter amount without commas or dollar sign:", "0.00"),
      "25.50");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].kind, DialogKind::Message);
  EXPECT_EQ(seen[0].caption, "Error");
  EXPECT_EQ(seen[0].type, mtError);
  EXPECT_EQ((std::vector<TMsgDlgBtn>{mbAbort, mbRetry}), seen[0].buttons);
  EXPECT_EQ(seen[1].kind, DialogKind::Input);
  EXPECT_EQ(seen[1].caption, "Changing Snipe Amount");
  EXPECT_EQ(seen[1].text, "Enter amount without commas or dollar sign:");
  EXPECT_EQ(seen[1].defaultValue, "0.00");
}

TEST_F(DialogsTest, CancelGivesTheDefaultToInputBoxAndFalseToInputQuery) {
  SetDialogResponder([](const DialogRequest&) { return DialogAnswer{mrCancel, "typed"}; });
  EXPECT_EQ(InputBox("Changing Bid Quantity", "Enter amount without commas:", "0"), "0");
  AnsiString value = "3";
  EXPECT_FALSE(InputQuery("Changing Bid Quantity", "Enter amount without commas:", value));
  EXPECT_EQ(value, "3");
}

TEST_F(DialogsTest, AHeadlessRunWithoutResponderGetsTheFirstButtonAndNeverBlocks) {
  EXPECT_EQ(MessageDlg("Item not found", mtWarning, {mbOK}), mrOk);
  EXPECT_EQ(MessageDlg("x", mtError, {mbAbort, mbRetry}), mrAbort);
  EXPECT_EQ(InputBox("c", "p", "0.00"), "0.00");
  ShowMessage("done");
}

TEST_F(DialogsTest, AScriptFileAnswersBoxesInTurnAndEveryBoxIsLogged) {
  std::ofstream("script.txt", std::ios::binary) << "# answers for one run\r\n"
                                                << "Error # 1221-2358. => Retry\r\n"
                                                << "Error # 1221-2358. => Abort\r\n"
                                                << "without commas or dollar => Text:12.5\xA3\r\n"
                                                << "Auction added => OK\r\n";
  setenv("TARNWICK_DIALOG_SCRIPT", "script.txt", 1);
  setenv("TARNWICK_DIALOG_LOG", "boxes.log", 1);
  const AnsiString offset = "Error calculating eBay time offset.  Error # 1221-2358.";
  EXPECT_EQ(MessageDlg(offset, mtError, {mbAbort, mbRetry}), mrRetry);
  EXPECT_EQ(MessageDlg(offset, mtError, {mbAbort, mbRetry}), mrAbort);
  EXPECT_EQ(MessageDlg(offset, mtError, {mbAbort, mbRetry}), mrAbort);  // the last one again
  EXPECT_EQ(
      InputBox("Changing Snipe Amount", "Enter amount without commas or dollar sign:", "0.00"),
      "12.5\xA3");
  EXPECT_EQ(InputBox("Changing Bid Quantity", "Enter amount without commas:", "0"), "0");
  const std::string log = readFile("boxes.log");
  EXPECT_NE(log.find("message|error|Abort,Retry|Error|" + offset.str() + "||Retry\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("input|custom|OK,Cancel|Changing Snipe Amount|Enter amount without commas "
                     "or dollar sign:|0.00|Text:12.5\xA3\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("|Enter amount without commas:|0|Cancel\r\n"), std::string::npos);
  unsetenv("TARNWICK_DIALOG_SCRIPT");
  unsetenv("TARNWICK_DIALOG_LOG");
}

// A piece of work never waits in the middle for a box: its boxes, those of work it runs
// included, are shown in order once the outermost piece has ended; a failure on its way out
// shows them from the event loop once it has passed.
TEST_F(DialogsTest, BoxesOfAPieceOfWorkAreShownOnceItHasEnded) {
  std::vector<std::string> seen;
  SetDialogResponder([&](const DialogRequest& request) {
    seen.push_back(request.text.str());
    return DefaultDialogAnswer(request);
  });
  {
    const BoxesShownAfterWork walk;
    EXPECT_EQ(MessageDlg("first", mtError, {mbOK}), mrOk);
    {
      const BoxesShownAfterWork inner;
      ShowMessage("second");
    }
    EXPECT_TRUE(seen.empty());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
  seen.clear();
  try {
    const BoxesShownAfterWork walk;
    MessageDlg("third", mtError, {mbOK});
    throw Exception("failed");
  } catch (const Exception&) {
  }
  EXPECT_TRUE(seen.empty());
  spin(20);
  EXPECT_EQ(seen, std::vector<std::string>{"third"});
}

}  // namespace

TEST_F(DialogsTest, ABoxBelongsToTheActiveFormsWindow) {
  TForm main(nullptr);
  TForm bar(nullptr);
  main.Show();
  bar.Show();
  bar.Widget()->activateWindow();
  QCoreApplication::processEvents();
  EXPECT_EQ(DialogOwner(), bar.Widget());
  bar.Hide();
  main.Widget()->activateWindow();
  QCoreApplication::processEvents();
  EXPECT_EQ(DialogOwner(), main.Widget());
  main.Hide();
  QCoreApplication::processEvents();
  EXPECT_EQ(DialogOwner(), nullptr);
}
