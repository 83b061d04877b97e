#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <memory>
#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "forms/ListView.h"
#include "lib/Exceptions.h"
#include "lib/SysUtils.h"

namespace {

class ListViewTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    view_ = std::make_unique<TListView>(nullptr);
    for (const char* caption : {"Item", "Snipe Amt", "Title"}) {
      TListColumn* column = view_->Columns()->Add();
      column->SetCaption(caption);
    }
  }
  TListItem* addRow(const AnsiString& caption, const AnsiString& snipe, const AnsiString& title) {
    TListItem* item = view_->Items()->Add();
    item->SetCaption(caption);
    item->SubItems()->Add(snipe);
    item->SubItems()->Add(title);
    return item;
  }
  QAbstractItemModel* model() const { return static_cast<QTableView*>(view_->Widget())->model(); }
  QString shown(int row, int column) const {
    return model()->data(model()->index(row, column)).toString();
  }
  std::unique_ptr<TListView> view_;
};

TEST_F(ListViewTest, FindCaptionMatchesWholeCaptionIgnoringCaseAndWraps) {
  addRow("IND", "", "");
  addRow("Spares", "", "");
  addRow("spares", "", "");
  addRow("Spare", "", "");
  addRow("Caf\xE9", "", "");  // Windows-1252: e acute
  struct Case {
    int start;
    const char* value;
    bool partial, inclusive, wrap;
    int expected;  // row, -1 for none
  } cases[] = {
      {0, "SPARES", false, true, true, 1},    {0, "spare", false, true, true, 3},
      {2, "spares", false, true, true, 2},    {2, "spares", false, false, true, 1},
      {2, "Spares", false, false, false, -1}, {0, "ind", false, true, false, 0},
      {0, "Spa", false, true, true, -1},      {0, "Spa", true, true, true, 1},
      {9, "IND", false, true, true, 0},       {0, "", false, true, true, -1},
      {0, "CAF\xC9", false, true, true, 4},   {0, "caf", true, true, true, 4},
      {0, "CAFE", false, true, true, -1},
  };
  for (const Case& c : cases) {
    TListItem* found = view_->FindCaption(c.start, c.value, c.partial, c.inclusive, c.wrap);
    EXPECT_EQ(found ? found->Index() : -1, c.expected) << c.value << " from " << c.start;
  }
}

// The look-up answers as a walk over the rows would, through every kind of change of the list:
// a reference walk is asked beside it after each step of a long, seeded run of adds, deletes,
// caption edits, sorts and clears, over captions that differ only in letter case (ASCII and
// Windows-1252) and captions that share their length.
TEST_F(ListViewTest, FindCaptionAgreesWithAWalkOverTheRowsThroughEveryChange) {
  const std::vector<AnsiString> captions = {"123",     "124",     "ab",      "AB",   "aB",
                                            "Caf\xE9", "CAF\xC9", "caf\xE9", "\x9A", "\x8A",
                                            "\xFF",    "\x9F",    "",        "12"};
  const auto walk = [&](int start, const AnsiString& value, bool inclusive,
                        bool wrap) -> TListItem* {
    const int count = view_->Items()->Count();
    const int first = std::max(inclusive ? start : start + 1, 0);
    const auto same = [&](int i) {
      const AnsiString& caption = view_->Items()->Item(i)->Caption();
      return caption.Length() == value.Length() &&
             caption.toQString().compare(value.toQString(), Qt::CaseInsensitive) == 0;
    };
    for (int i = first; i < count; ++i)
      if (same(i)) return view_->Items()->Item(i);
    for (int i = 0; wrap && i < std::min(first, count); ++i)
      if (same(i)) return view_->Items()->Item(i);
    return nullptr;
  };
  unsigned seed = 12345;
  const auto next = [&seed](unsigned bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  const auto pick = [&] { return captions[next(static_cast<unsigned>(captions.size()))]; };
  view_->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& compare) {
    compare = a->SubItems()->Strings(0).Length() - b->SubItems()->Strings(0).Length();
  };
  for (int step = 0; step < 3000; ++step) {
    const int count = view_->Items()->Count();
    switch (next(count > 0 ? 9 : 1)) {
      case 0:
      case 1:
      case 2:
        addRow(pick(), AnsiString(std::string(next(5), 'x')), "");
        break;
      case 3:
      case 4:
        view_->Items()->Item(static_cast<int>(next(count)))->SetCaption(pick());
        break;
      case 5:
        view_->Items()->Item(static_cast<int>(next(count)))->Delete();
        break;
      case 6:
        view_->Items()->Delete(static_cast<int>(next(count)));
        break;
      case 7:
        if (next(2))
          view_->AlphaSort();
        else
          view_->CustomSort([](TListItem* a, TListItem* b,
                               int) { return CompareText(a->Caption(), b->Caption()); },
                            0);
        break;
      default:
        if (next(10) == 0) view_->Items()->Clear();
        break;
    }
    for (int i = 0; i < view_->Items()->Count(); ++i)
      ASSERT_EQ(view_->Items()->Item(i)->Index(), i) << "step " << step;
    const AnsiString value = pick();
    const int start = static_cast<int>(next(static_cast<unsigned>(view_->Items()->Count()) + 2));
    const bool inclusive = next(2), wrap = next(2);
    ASSERT_EQ(view_->FindCaption(start, value, false, inclusive, wrap),
              walk(start, value, inclusive, wrap))
        << "step " << step << ", value " << value.str() << " from " << start;
  }
}

// The widget is told of every changed cell: of a row being filled at once, of older rows by
// the end of the turn of the event loop, and always before rows go or move.
TEST_F(ListViewTest, TheWidgetLearnsOfEveryChangedRowBeforeTheTurnEndsOrTheRowsMove) {
  for (const char* caption : {"1", "2", "3", "4"}) addRow(caption, "0.00", "old");
  QCoreApplication::processEvents();
  std::vector<std::string> told;
  QObject::connect(model(), &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& first, const QModelIndex& last) {
                     told.push_back(std::to_string(first.row()) + "-" + std::to_string(last.row()));
                   });
  QObject::connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved,
                   [&](const QModelIndex&, int first, int) {
                     told.push_back("remove " + std::to_string(first));
                   });
  view_->Items()->Item(1)->SubItems()->SetStrings(0, "5.00");
  view_->Items()->Item(3)->SetCaption("40");
  addRow("5", "0.00", "new");
  QCoreApplication::processEvents();
  EXPECT_EQ(told, (std::vector<std::string>{"1-3", "4-4", "4-4", "4-4"}));
  EXPECT_EQ(shown(1, 1), "5.00");

  told.clear();
  view_->Items()->Item(0)->SubItems()->SetStrings(1, "changed");
  EXPECT_TRUE(told.empty());
  view_->Items()->Delete(2);
  view_->Items()->Item(2)->SubItems()->SetStrings(1, "after");
  QCoreApplication::processEvents();
  EXPECT_EQ(told, (std::vector<std::string>{"0-0", "remove 2", "2-2"}));
}

// A column that sizes itself is as wide as a plain table of the same texts makes it, through
// edits of its cells and a change of the font.
TEST_F(ListViewTest, AColumnSizedToItsTextsIsAsWideAsAPlainTableMakesIt) {
  view_->Columns()->Items(2)->SetAutoSize(true);
  const std::vector<QString> titles = {"Lamp", "A brass carriage clock", "Lamp", "Vase", ""};
  for (const QString& title : titles) addRow("1", "0.00", AnsiString::fromQString(title));
  auto* table = static_cast<QTableView*>(view_->Widget());
  QStandardItemModel plainModel(0, 3);
  plainModel.setHorizontalHeaderLabels({"Item", "Snipe Amt", "Title"});
  for (const QString& title : titles)
    plainModel.appendRow(
        {new QStandardItem("1"), new QStandardItem("0.00"), new QStandardItem(title)});
  QTableView plain;
  plain.setModel(&plainModel);
  plain.setShowGrid(table->showGrid());
  plain.setWordWrap(false);
  plain.verticalHeader()->hide();
  plain.horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  table->show();
  plain.show();
  const auto same = [&] {
    QCoreApplication::processEvents();
    plain.setFont(table->font());
    EXPECT_EQ(table->horizontalHeader()->sectionSize(2), plain.horizontalHeader()->sectionSize(2));
  };
  same();
  view_->Items()->Item(3)->SubItems()->SetStrings(1, "A vase far wider than the clock's title");
  plainModel.item(3, 2)->setText("A vase far wider than the clock's title");
  same();
  // A larger font: a short cell's edit makes both tables size the column again, the longest
  // text now wider.
  QFont larger = table->font();
  larger.setPixelSize(2 * QFontInfo(larger).pixelSize());
  table->setFont(larger);
  view_->Items()->Item(0)->SubItems()->SetStrings(1, "Lamps");
  plainModel.item(0, 2)->setText("Lamps");
  same();
  EXPECT_GT(table->horizontalHeader()->sectionSize(2), 300);
}

TEST_F(ListViewTest, RowIndexFollowsDeletionsAndAdditions) {
  TListItem* first = addRow("1", "", "");
  TListItem* second = addRow("2", "", "");
  TListItem* third = addRow("3", "", "");
  EXPECT_EQ(third->Index(), 2);
  first->Delete();
  EXPECT_EQ(second->Index(), 0);
  EXPECT_EQ(third->Index(), 1);
  third->SubItems()->SetStrings(0, "shown");
  EXPECT_EQ(shown(1, 1), "shown");
  view_->Items()->Clear();
  EXPECT_EQ(addRow("4", "", "")->Index(), 0);
}

TEST_F(ListViewTest, ReadingAMissingSubItemRaisesTheStringListError) {
  TListItem* shortRow = view_->Items()->Add();
  shortRow->SetCaption("123");
  shortRow->SubItems()->Add("0.00");
  EXPECT_EQ(shortRow->SubItems()->Strings(0), "0.00");
  EXPECT_THROW(shortRow->SubItems()->Strings(1), EStringListError);
  EXPECT_THROW(view_->Items()->Item(5), EListError);
  // The widget shows the missing cell as empty instead of failing.
  EXPECT_EQ(shown(0, 2), "");
}

TEST_F(ListViewTest, EditsOfCaptionsAndSubItemsShowInTheWidget) {
  TListItem* row = addRow("100", "0.00", "Lamp");
  row->SubItems()->SetStrings(1, "Lamp \xA3\xA0 brass");
  row->SetCaption("101");
  EXPECT_EQ(shown(0, 0), "101");
  EXPECT_EQ(shown(0, 2), QString::fromUtf8("Lamp \u00A3\u00A0 brass"));
  EXPECT_EQ(model()->headerData(1, Qt::Horizontal).toString(), "Snipe Amt");
  row->Delete();
  EXPECT_EQ(view_->Items()->Count(), 0);
  EXPECT_EQ(model()->rowCount(), 0);
}

// The watch list's numeric comparison: -1 unless the first number is greater, so equal
// numbers never compare as 0 and the answer contradicts itself for swapped equal rows.
TEST_F(ListViewTest, SortWithAnInconsistentComparisonKeepsEveryRowAndOrdersThem) {
  const char* amounts[] = {"9.50", "10.00", "9.50", "1", "10.00", "3", "9.50", "0.00", "3", "2"};
  for (int i = 0; i < 10; ++i) addRow(AnsiString(i), amounts[i], "t");
  // Many rows with ties as well.
  for (int i = 0; i < 300; ++i) addRow(AnsiString(100 + i), AnsiString((i * 7) % 5), "t");
  int comparisons = 0;
  view_->OnCompare = [&](TObject*, TListItem* a, TListItem* b, int, int& compare) {
    ++comparisons;
    const double x = a->SubItems()->Strings(0).ToDouble();
    const double y = b->SubItems()->Strings(0).ToDouble();
    compare = x > y ? 1 : -1;
  };
  ASSERT_TRUE(view_->AlphaSort());
  EXPECT_GT(comparisons, 0);
  ASSERT_EQ(view_->Items()->Count(), 310);
  std::set<AnsiString> captions;
  for (int i = 0; i < 310; ++i) {
    captions.insert(view_->Items()->Item(i)->Caption());
    if (i > 0) {
      EXPECT_LE(view_->Items()->Item(i - 1)->SubItems()->Strings(0).ToDouble(),
                view_->Items()->Item(i)->SubItems()->Strings(0).ToDouble());
    }
  }
  EXPECT_EQ(captions.size(), 310u);
  EXPECT_EQ(shown(0, 1), view_->Items()->Item(0)->SubItems()->Strings(0).toQString());
}

TEST_F(ListViewTest, ATieKeepsItsOrderAndTheSelectionFollowsItsRow) {
  addRow("a", "2", "");
  addRow("b", "1", "");
  addRow("c", "2", "");
  addRow("d", "1", "");
  view_->SetRowSelect(true);
  view_->SetSelected(view_->Items()->Item(2));  // "c"
  view_->CustomSort(
      [](TListItem* a, TListItem* b, int) {
        return a->SubItems()->Strings(0).ToInt() - b->SubItems()->Strings(0).ToInt();
      },
      0);
  AnsiString order;
  for (int i = 0; i < 4; ++i) order += view_->Items()->Item(i)->Caption();
  EXPECT_EQ(order, "bdac");
  ASSERT_NE(view_->Selected(), nullptr);
  EXPECT_EQ(view_->Selected()->Caption(), "c");
}

TEST_F(ListViewTest, AThrowingComparisonLeavesTheRowsAsTheyWere) {
  addRow("1", "***", "");
  addRow("2", "5", "");
  addRow("3", "4", "");
  view_->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& compare) {
    compare = a->SubItems()->Strings(0).ToDouble() > b->SubItems()->Strings(0).ToDouble();
  };
  EXPECT_THROW(view_->AlphaSort(), EConvertError);
  ASSERT_EQ(view_->Items()->Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(view_->Items()->Item(i)->Caption(), AnsiString(i + 1));
}

TEST_F(ListViewTest, SelectedIsNullWithoutSelectionAndColumnClickReportsTheColumn) {
  addRow("1", "", "");
  EXPECT_EQ(view_->Selected(), nullptr);
  view_->Items()->Item(0)->SetSelected(true);
  EXPECT_TRUE(view_->Items()->Item(0)->Selected());
  int clicked = -1;
  view_->OnColumnClick = [&](TObject*, TListColumn* column) { clicked = column->Index(); };
  auto* header = static_cast<QTableView*>(view_->Widget())->horizontalHeader();
  emit header->sectionClicked(2);
  EXPECT_EQ(clicked, 2);
  view_->Items()->Clear();
  EXPECT_EQ(view_->Selected(), nullptr);
}

}  // namespace
