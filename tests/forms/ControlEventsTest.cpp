#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "FormsTestSupport.h"
#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/Edit.h"
#include "forms/Form.h"
#include "forms/Memo.h"
#include "forms/PageControl.h"
#include "forms/Panel.h"
#include "forms/TabStrip.h"

namespace {

using ControlEventsTest = FormsTest;

TEST_F(ControlEventsTest, EditFiresOnChangeForEveryChangeOfTextAndReentrantly) {
  TForm form(nullptr);
  auto* edit = new TLabeledEdit(&form);
  edit->SetParent(&form);
  edit->EditLabel()->SetCaption("How Many To Win Before Cancelling Group");
  std::vector<AnsiString> seen;
  // A handler that mends the text inside itself, as a "must be a number" check does.
  edit->OnChange = [&](TObject*) {
    seen.push_back(edit->Text());
    if (edit->Text() == "x") edit->SetText("1");
  };
  edit->SetText("5");
  edit->SetText("5");  // no change, no event
  edit->SetText("x");
  EXPECT_EQ((std::vector<AnsiString>{"5", "x", "1"}), seen);
  EXPECT_EQ(edit->Text(), "1");
  // Typing reports through the same event.
  auto* line = static_cast<QLineEdit*>(edit->Widget());
  line->setText("7");  // programmatic on the widget itself: not a typed change
  emit line->textEdited("7");
  EXPECT_EQ(seen.back(), "7");
  EXPECT_EQ(edit->EditLabel()->Caption(), "How Many To Win Before Cancelling Group");
}

// A line break pasted into an edit, or set in it, becomes a blank: what the edit gives goes
// into one line of a file (the preferences, a group's note).
TEST_F(ControlEventsTest, EditHoldsOneLine) {
  TEdit edit(nullptr);
  std::vector<AnsiString> seen;
  edit.OnChange = [&](TObject*) { seen.push_back(edit.Text()); };
  auto* line = static_cast<QLineEdit*>(edit.Widget());
  line->insert("tarn\r\nbuyer");  // as a paste does
  EXPECT_EQ(edit.Text(), "tarn  buyer");
  EXPECT_EQ(line->cursorPosition(), 11);
  edit.SetText("a\nb");
  EXPECT_EQ(edit.Text(), "a b");
  EXPECT_EQ((std::vector<AnsiString>{"tarn  buyer", "a b"}), seen);
}

TEST_F(ControlEventsTest, TextCrossesTheWidgetAsWindows1252) {
  TEdit edit(nullptr);
  edit.SetText("\xA3 \xA5 $\xA0");
  auto* line = static_cast<QLineEdit*>(edit.Widget());
  EXPECT_EQ(line->text(), QString::fromUtf8("\u00A3 \u00A5 $\u00A0"));
  line->setText(QString::fromUtf8("\u20AC 12\u00A0"));
  EXPECT_EQ(edit.Text(), "\x80 12\xA0");
  edit.SetPasswordChar('*');
  EXPECT_EQ(line->echoMode(), QLineEdit::Password);
}

TEST_F(ControlEventsTest, CheckBoxFiresOnClickWhenCheckedChanges) {
  TCheckBox box(nullptr);
  int clicks = 0;
  box.OnClick = [&](TObject*) { ++clicks; };
  box.SetChecked(false);  // already unchecked
  EXPECT_EQ(clicks, 0);
  box.SetChecked(true);
  EXPECT_EQ(clicks, 1);
  box.SetChecked(true);
  EXPECT_EQ(clicks, 1);
  static_cast<QCheckBox*>(box.Widget())->click();  // the user
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(box.Checked());
}

TEST_F(ControlEventsTest, ComboRefillFiresNothingAndShowsNoChoice) {
  TComboBox combo(nullptr);
  int changes = 0;
  combo.OnChange = [&](TObject*) { ++changes; };
  combo.Items()->Add("IND");
  EXPECT_EQ(combo.ItemIndex(), -1);
  EXPECT_EQ(combo.Text(), "");
  combo.SetText("ind");
  EXPECT_EQ(combo.ItemIndex(), 0);
  combo.Items()->Clear();
  for (const char* name : {"IND", "Lamps", "Clocks"}) combo.Items()->Add(name);
  EXPECT_EQ(combo.Items()->Count(), 3);
  EXPECT_EQ(combo.ItemIndex(), -1);
  combo.SetItemIndex(2);
  EXPECT_EQ(combo.Text(), "Clocks");
  EXPECT_EQ(changes, 0);
  auto* box = static_cast<QComboBox*>(combo.Widget());
  box->setCurrentIndex(1);
  emit box->activated(1);  // the user's choice
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(combo.Text(), "Lamps");
}

TEST_F(ControlEventsTest, TabSheetOnShowFiresWhenThePageComesIntoView) {
  TForm form(nullptr);
  auto* pages = new TPageControl(&form);
  pages->SetParent(&form);
  pages->SetBounds(0, 0, 400, 200);
  pages->SetTabPosition(tpBottom);
  pages->SetStyle(tsFlatButtons);
  std::vector<AnsiString> shows;
  std::vector<TTabSheet*> sheets;
  for (const char* caption : {"Show All", "Active Outbid", "Won"}) {
    auto* sheet = new TTabSheet(&form);
    sheet->SetCaption(caption);
    sheet->SetPageControl(pages);
    sheet->OnShow = [&shows, sheet](TObject*) { shows.push_back(sheet->Caption()); };
    sheets.push_back(sheet);
  }
  // A page control nested on a page.
  auto* inner = new TPageControl(&form);
  inner->SetParent(sheets[0]);
  auto* innerSheet = new TTabSheet(&form);
  innerSheet->SetPageControl(inner);
  EXPECT_EQ(inner->ActivePage(), innerSheet);
  innerSheet->OnShow = [&shows](TObject*) { shows.push_back("inner shown"); };
  innerSheet->OnHide = [&shows](TObject*) { shows.push_back("inner hidden"); };

  EXPECT_EQ(pages->ActivePage(), sheets[0]);
  pages->SetActivePage(sheets[0]);
  EXPECT_TRUE(shows.empty());
  pages->SetActivePage(sheets[1]);
  pages->SetActivePage(sheets[1]);
  // Two clicks on the third tab: the second one finds it active already.
  auto* strip = pages->Widget()->findChild<TabStrip*>();
  ASSERT_FALSE(strip->tabRect(2).isEmpty());
  for (int click = 0; click < 2; ++click) {
    const QPointF at = strip->tabRect(2).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, strip->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(strip, &press);
  }
  EXPECT_EQ((std::vector<AnsiString>{"inner hidden", "Active Outbid", "Won"}), shows);
  EXPECT_EQ(pages->ActivePage(), sheets[2]);
  // Back on the page that holds the nested control: its active page comes into view too.
  shows.clear();
  pages->SetActivePage(sheets[0]);
  EXPECT_EQ((std::vector<AnsiString>{"Show All", "inner shown"}), shows);
  EXPECT_EQ(strip->tabText(1), "Active Outbid");
}

TEST_F(ControlEventsTest, MemoLinesSaveTheBytesPutIn) {
  TMemo memo(nullptr);
  memo.Lines()->Add("GET Failed !");
  memo.Lines()->Add("StatusCode   = 404 \x81\x8D\xA0");
  EXPECT_EQ(memo.Lines()->Count(), 2);
  EXPECT_EQ(static_cast<QPlainTextEdit*>(memo.Widget())->toPlainText().left(12), "GET Failed !");
  memo.Lines()->SaveToFile("offset.htm");
  std::ifstream file("offset.htm", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "GET Failed !\r\nStatusCode   = 404 \x81\x8D\xA0\r\n");
  memo.Lines()->Clear();
  EXPECT_EQ(memo.Lines()->Count(), 0);
  memo.Lines()->LoadFromFile("offset.htm");
  EXPECT_EQ(memo.Lines()->Strings(1), "StatusCode   = 404 \x81\x8D\xA0");
}

TEST_F(ControlEventsTest, ClientAlignedPanelFillsItsParentAndFollowsItsSize) {
  TForm form(nullptr);
  form.SetClientWidth(300);
  form.SetClientHeight(200);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetAlign(alClient);
  panel->SetCaption("Please Wait. Adding / Updating.");
  EXPECT_EQ(panel->Width(), 300);
  EXPECT_EQ(panel->Height(), 200);
  form.Show();
  form.SetClientHeight(150);
  spin(10);
  EXPECT_EQ(panel->Height(), 150);
  EXPECT_EQ(panel->Caption(), "Please Wait. Adding / Updating.");
  form.Hide();
}

TEST_F(ControlEventsTest, ControlOutlivingItsWidgetStaysSafe) {
  auto form = std::make_unique<TForm>(nullptr);
  auto edit = std::make_unique<TEdit>(nullptr);  // owned elsewhere, placed on the form
  edit->SetParent(form.get());
  form.reset();  // Qt frees the edit's widget with the form's
  EXPECT_EQ(edit->Widget(), nullptr);
  edit->SetText("still fine");
  EXPECT_EQ(edit->Text(), "");
}

}  // namespace
