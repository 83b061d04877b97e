// Every caption of both programs' windows fits the box the layout gives it, drawn offscreen
// in the forms' dialog font: labels, buttons, check boxes, group box titles, tabs, column
// headers and the cells of example rows. One walk over every control of every window; each
// page of each page control is shown in turn.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QToolButton>
#include <cmath>
#include <set>

#include "MainWindowFixture.h"
#include "agent/Tnwfr.h"
#include "forms/TabStrip.h"
#include "portal/MakerDetails.h"

namespace {

// The text as drawn: a single '&' marks the mnemonic and is not shown.
QString shownText(QString text) {
  text.replace("&&", QString(QChar(0x1)));
  text.remove('&');
  text.replace(QChar(0x1), "&");
  return text;
}

// The text's drawn width in the font, rounded up to whole pixels.
int advance(const QFont& font, const QString& text) {
  return static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

class CaptionChecker {
 public:
  explicit CaptionChecker(QWidget* window) : window_(window) {}

  // Checks every widget of the window that is shown with the pages as they are now, leaving
  // out those placed wholly outside the window, which are never seen.
  void checkShown() {
    for (QWidget* widget : window_->findChildren<QWidget*>()) {
      if (!widget->isVisibleTo(window_)) continue;
      const QRect place(widget->mapTo(window_, QPoint(0, 0)), widget->size());
      if (!place.intersects(window_->rect())) continue;
      if (checked_.insert(widget).second) check(widget);
    }
  }
  const std::vector<std::string>& clipped() const { return clipped_; }
  int checkedCount() const { return static_cast<int>(checked_.size()); }

 private:
  void check(QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    QStyle* style = widget->style();
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
      QStyleOptionGroupBox option;
      option.initFrom(box);
      option.text = box->title();
      option.subControls = QStyle::SC_GroupBoxLabel;
      const QRect label =
          style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
      fits(widget, box->title(), label.right() + 1, box->width());
    } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
      QStyleOptionButton option;
      option.initFrom(check);
      option.text = check->text();
      const QRect contents = style->subElementRect(QStyle::SE_CheckBoxContents, &option, check);
      fits(widget, check->text(), advance(widget->font(), shownText(check->text())),
           contents.width());
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
      QStyleOptionButton option;
      option.initFrom(button);
      option.text = button->text();
      const QRect contents = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
      fits(widget, button->text(), advance(widget->font(), shownText(button->text())),
           contents.width());
      fits(widget, button->text() + " (height)", metrics.height(), contents.height());
    } else if (auto* tool = qobject_cast<QToolButton*>(widget)) {
      if (tool->text().isEmpty()) return;
      fits(widget, tool->text(), advance(widget->font(), shownText(tool->text())) + 6,
           tool->width());
      fits(widget, tool->text() + " (height)", metrics.height() + 4, tool->height());
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      if (label->text().isEmpty()) return;
      const QRect contents = label->contentsRect();
      if (label->wordWrap()) {
        fits(widget, label->text() + " (height)", label->heightForWidth(contents.width()),
             contents.height());
      } else {
        fits(widget, label->text(), advance(widget->font(), label->text()), contents.width());
        fits(widget, label->text() + " (height)", metrics.height(), contents.height());
      }
      // And the label stays inside what holds it.
      if (QWidget* parent = label->parentWidget())
        fits(widget, label->text() + " (in its parent)", label->geometry().right() + 1,
             parent->width());
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      fits(widget, "text height", metrics.height() + 4, edit->height());
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      fits(widget, "text height", metrics.height() + 4, combo->height());
    } else if (auto* tabs = dynamic_cast<TabStrip*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) {
        const QRect rect = tabs->tabRect(i);
        if (rect.isEmpty() && !tabs->multiLine() && i != tabs->currentIndex())
          continue;  // scrolled out of view, not cut
        fits(widget, tabs->tabText(i),
             advance(widget->font(), tabs->tabText(i)) + 2 * TabStrip::captionMargin, rect.width());
        fits(widget, tabs->tabText(i) + " (in the strip)", rect.right() + 1, tabs->width());
      }
    } else if (auto* table = qobject_cast<QTableView*>(widget)) {
      checkTable(table);
    }
  }

  void checkTable(QTableView* table) {
    QHeaderView* header = table->horizontalHeader();
    const int headerMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    // A cell's text keeps this far from both edges of the cell's place.
    const int cellMargin =
        2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    QAbstractItemModel* model = table->model();
    for (int column = 0; column < model->columnCount(); ++column) {
      const QString caption = model->headerData(column, Qt::Horizontal).toString();
      const int width = header->sectionSize(column);
      fits(table, caption, advance(header->font(), caption) + 2 * headerMargin, width);
      if (caption == "Title" || caption == "Note") continue;  // free text, cut like any list's
      for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, column);
        const QString cell = index.data().toString();
        fits(table, caption + " cell " + cell, advance(table->font(), cell) + cellMargin,
             table->visualRect(index).width());
      }
    }
  }

  void fits(QWidget* widget, const QString& what, int needed, int room) {
    if (needed <= room) return;
    TControl* control = TControl::FromWidget(widget);
    const std::string name = control ? control->Name().str() : "?";
    clipped_.push_back(window_->windowTitle().toStdString() + " / " + name + ": \"" +
                       what.toStdString() + "\" needs " + std::to_string(needed) + ", has " +
                       std::to_string(room));
  }

  QWidget* window_;
  std::set<QWidget*> checked_;
  std::vector<std::string> clipped_;
};

// Shows each page of the page control in turn (and of the page controls on it) and checks
// what is shown.
void walkPages(CaptionChecker& checker, TPageControl* pages,
               const std::vector<TPageControl*>& nested) {
  for (int i = 0; i < pages->PageCount(); ++i) {
    pages->SetActivePage(pages->Pages(i));
    checker.checkShown();
    for (TPageControl* inner : nested) {
      if (!inner->Widget()->isVisibleTo(pages->Widget()->window())) continue;
      for (int j = 0; j < inner->PageCount(); ++j) {
        inner->SetActivePage(inner->Pages(j));
        checker.checkShown();
      }
    }
  }
}

class CaptionFitTest : public MainWindowFixture {
 protected:
  // Watched auctions as the practice site's fill them, open and ended, with their end-time
  // entries, so that every view shows rows.
  static void exampleRows() {
    const struct {
      const char* item;
      const char* ends;
      double days;
    } rows[] = {{"220000000101", "6 days 23 hours +", 6.9},
                {"220000000102", "WON -12-", -1},
                {"220000000103", "LOST", -1}};
    for (const auto& row : rows) {
      addRow(frmMain->lvShowAll, {row.item, "1234.56", "Vintage brass carriage clock, working",
                                  "1234.56", "12", "1", row.ends, "USD", "IND"});
      addRow(frmMain->lvAllTdate, {row.item, DateTimeToStr(Now() + row.days).str(), "1"});
    }
  }
};

TEST_F(CaptionFitTest, EveryCaptionOfEveryWindowFitsItsControl) {
  ASSERT_EQ(QFontInfo(frmMain->Widget()->font()).family().toStdString(), dialogFontFamily)
      << "the dialog font is missing: scripts/install-deps.sh installs it";
  exampleRows();
  frmMain->laVer->SetCaption("Version 1.1.0.181");
  frmMain->laAboutLine->SetCaption(aboutTextLine);
  frmMain->lblNextRefresh->SetCaption("299 seconds.");
  frmMain->edtNumTitle->SetText("220000000101 Vintage brass carriage clock, working");
  frmMain->Widget()->show();
  frmCommand->Widget()->show();

  CaptionChecker main(frmMain->Widget());
  walkPages(main, frmMain->PageControl1, {frmMain->pcViews});
  // The busy panel covers the window with its captions.
  for (int status : {1, 3}) {
    frmMain->SetpanStat(static_cast<panelStatus>(status));
    main.checkShown();
    frmMain->SetpanStat(0);
  }
  CaptionChecker bar(frmCommand->Widget());
  bar.checkShown();
  TfrmRefresh agent(nullptr);
  agent.Widget()->show();
  CaptionChecker agentWindow(agent.Widget());
  agentWindow.checkShown();
  agent.Widget()->hide();
  frmMain->Widget()->hide();
  frmCommand->Widget()->hide();

  std::vector<std::string> clipped = main.clipped();
  clipped.insert(clipped.end(), bar.clipped().begin(), bar.clipped().end());
  clipped.insert(clipped.end(), agentWindow.clipped().begin(), agentWindow.clipped().end());
  std::string report;
  for (const std::string& line : clipped) report += line + "\n";
  EXPECT_TRUE(clipped.empty()) << report;
  // The walk met the controls (a walk over nothing passes too).
  EXPECT_GT(main.checkedCount(), 100);
  EXPECT_GE(bar.checkedCount(), 16);
  EXPECT_GE(agentWindow.checkedCount(), 3);
}

}  // namespace
