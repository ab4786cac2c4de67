// The watch list's control: byte-order sorting, direction toggling, moving,
// copying and dragging rows and icons.

#include "console/Language.h"
#include "console/ListColumns.h"
#include "console/WatchListView.h"
#include "engine/WatchEntry.h"
#include "engine/WatchListModel.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

WatchListModel::Row MakeRow(const QString &caption, const QString &resource, quint32 data = 0)
{
    WatchListModel::Row r;
    r.texts[WatchListModel::ColUserName] = caption;
    r.texts[WatchListModel::ColResourceName] = resource;
    r.dataWord = data;
    return r;
}

QStringList Column(const WatchListModel &model, int column)
{
    QStringList texts;
    for (int i = 0; i < model.rowCount(); ++i)
        texts << model.text(i, column);
    return texts;
}

struct ListFixture : ::testing::Test {
    WatchListModel model;
    WatchListView list;

    void SetUp() override
    {
        list.SetModel(&model);
        list.resize(400, 300);
    }
    void Fill(const std::vector<std::pair<QString, QString>> &rows)
    {
        for (const auto &[caption, resource] : rows)
            model.appendRow(MakeRow(caption, resource));
    }
};

using WatchListViewSort = ListFixture;

TEST_F(WatchListViewSort, TextColumnsSortInByteOrderWithTiesSettledByTheOtherKey)
{
    Fill({{QStringLiteral("c"), QStringLiteral("10")},
          {QStringLiteral("b"), QStringLiteral("9")},
          {QStringLiteral("a"), QStringLiteral("09")}});
    list.ColumnClick(WatchListModel::ColResourceName);
    EXPECT_EQ(Column(model, 1), (QStringList{"09", "10", "9"}));

    // Equal resource names fall back to the caption; equal captions to the
    // resource name.
    model.clear();
    Fill({{QStringLiteral("y"), QStringLiteral("PC")},
          {QStringLiteral("x"), QStringLiteral("PC")},
          {QStringLiteral("u"), QStringLiteral("PC2")},
          {QStringLiteral("u"), QStringLiteral("PC1")}});
    list.Sort(WatchListModel::ColResourceName, 1);
    EXPECT_EQ(Column(model, 0), (QStringList{"x", "y", "u", "u"}));
    list.Sort(WatchListModel::ColUserName, 1);
    EXPECT_EQ(Column(model, 1), (QStringList{"PC1", "PC2", "PC", "PC"}));
    EXPECT_EQ(Column(model, 0), (QStringList{"u", "u", "x", "y"}));
}

TEST_F(WatchListViewSort, JapaneseTextsCompareAsTheirCodePageBytes)
{
    // Half-width katakana (one byte, A1-DF) sort before kanji (lead bytes
    // 88-9F) only in Unicode order; as CP932 bytes the kanji come first.
    Fill({{QStringLiteral("a"), QStringLiteral("ｱ")}, {QStringLiteral("b"), QStringLiteral("漢")},
          {QStringLiteral("c"), QStringLiteral("Z")}});
    list.Sort(WatchListModel::ColResourceName, 1);
    EXPECT_EQ(Column(model, 1), (QStringList{"Z", "漢", "ｱ"}));
}

TEST_F(WatchListViewSort, FileModeSortsByExtensionFirst)
{
    list.CompMode = enCompFile;
    Fill({{QStringLiteral("1"), QStringLiteral("a.xls")}, {QStringLiteral("2"), QStringLiteral("b.txt")},
          {QStringLiteral("3"), QStringLiteral("noext")}});
    list.Sort(WatchListModel::ColResourceName, 1);
    // Without an extension the name itself is the key.
    EXPECT_EQ(Column(model, 1), (QStringList{"b.txt", "a.xls", "noext"}));

    EXPECT_EQ(ExtractFileExt(QStringLiteral("c:\\dir.d\\file")), QString());
    EXPECT_EQ(ExtractFileExt(QStringLiteral("/srv/dir.d/file.tar.gz")), QStringLiteral(".gz"));
    EXPECT_EQ(ExtractFileExt(QStringLiteral("name.")), QStringLiteral("."));
}

TEST_F(WatchListViewSort, ByDataComparesSignedWordsAndKeepsEqualOnesInOrder)
{
    model.appendRow(MakeRow("a", "r1", 7));
    model.appendRow(MakeRow("b", "r2", 131072));
    model.appendRow(MakeRow("c", "r3", 65548));
    model.appendRow(MakeRow("d", "r4", 7));
    model.appendRow(MakeRow("e", "r5", 0x80000000u));  // negative as a signed word
    list.SortType = stData;
    list.Sort(1, 1);
    EXPECT_EQ(Column(model, 0), (QStringList{"e", "a", "d", "c", "b"}));
    list.Sort(1, 2);
    EXPECT_EQ(Column(model, 0), (QStringList{"b", "c", "a", "d", "e"}));

    // By data and text: equal words are settled by the text.
    list.SortType = stBoth;
    list.Sort(0, 2);
    EXPECT_EQ(Column(model, 0), (QStringList{"b", "c", "d", "a", "e"}));
}

TEST_F(WatchListViewSort, SameColumnFlipsDirectionAndANewColumnStartsAscending)
{
    Fill({{QStringLiteral("b"), QStringLiteral("2")}, {QStringLiteral("a"), QStringLiteral("3")},
          {QStringLiteral("c"), QStringLiteral("1")}});
    list.ColumnClick(0);
    EXPECT_EQ(Column(model, 0), (QStringList{"a", "b", "c"}));
    list.ColumnClick(0);
    EXPECT_EQ(Column(model, 0), (QStringList{"c", "b", "a"}));
    EXPECT_EQ(list.SortDirection, 2);
    list.ColumnClick(0);
    EXPECT_EQ(Column(model, 0), (QStringList{"a", "b", "c"}));
    list.ColumnClick(1);
    EXPECT_EQ(Column(model, 1), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(list.SortDirection, 1);

    // A click on the header itself takes the same road.
    list.SetViewStyle(DragDropListView::vsReport);
    emit list.Header()->sectionClicked(1);
    EXPECT_EQ(Column(model, 1), (QStringList{"3", "2", "1"}));
}

TEST_F(WatchListViewSort, NothingMovesWithoutSortingOrForAnUnknownColumnOrDirection)
{
    Fill({{QStringLiteral("b"), QString()}, {QStringLiteral("a"), QString()}});
    list.CanSort = false;
    list.ColumnClick(0);
    EXPECT_EQ(Column(model, 0), (QStringList{"b", "a"}));
    list.Sort(0, 0);
    list.Sort(0, 3);
    list.Sort(WatchListModel::ColumnCount, 1);
    EXPECT_EQ(Column(model, 0), (QStringList{"b", "a"}));
    // Sort works regardless and leaves CanSort as it was.
    list.Sort(0, 1);
    EXPECT_EQ(Column(model, 0), (QStringList{"a", "b"}));
    EXPECT_FALSE(list.CanSort);
}

TEST(WatchListViewCompare, AnswersOnlyWhetherTheFirstGoesAfterTheSecond)
{
    ListSortKey a, b;
    a.key = "9";
    b.key = "10";
    EXPECT_EQ(CompareSortKeys(a, b, stText, 1), 1);
    EXPECT_EQ(CompareSortKeys(b, a, stText, 1), 0);
    EXPECT_EQ(CompareSortKeys(a, b, stText, 2), 0);
    EXPECT_EQ(CompareSortKeys(b, a, stText, 2), 1);
    EXPECT_EQ(CompareSortKeys(a, b, stText, 0), 0);
    EXPECT_EQ(CompareSortKeys(a, a, stText, 1), 0);
    EXPECT_LT(CompareBytes("ab", "abc"), 0);
    EXPECT_GT(CompareBytes("\x88\x9f", "z"), 0);  // unsigned bytes
}

using WatchListViewRows = ListFixture;

TEST_F(WatchListViewRows, MoveRefusesRowsOutsideTheList)
{
    Fill({{"a", ""}, {"b", ""}, {"c", ""}});
    EXPECT_FALSE(list.Move(0, 3));
    EXPECT_FALSE(list.Move(-1, 0));
    EXPECT_EQ(Column(model, 0), (QStringList{"a", "b", "c"}));
    EXPECT_TRUE(list.Move(0, 2));
    EXPECT_EQ(Column(model, 0), (QStringList{"b", "c", "a"}));
    EXPECT_EQ(InvalidRowText, QStringLiteral("指定した行が無効です。"));
}

TEST_F(WatchListViewRows, SelDeleteAssignAndInsertCopies)
{
    Fill({{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}});
    list.SetSelectedRows({0, 2});
    list.SelDelete();
    EXPECT_EQ(Column(model, 0), (QStringList{"b", "d"}));

    WatchListModel source;
    WatchListModel::Row placed = MakeRow("p", "P", 5);
    placed.imageIndex = 9;
    placed.iconTop = 40;
    placed.iconLeft = 80;
    source.appendRow(placed);
    list.AssignMy(source);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.iconTop(0), 40);
    EXPECT_EQ(model.iconLeft(0), 80);
    EXPECT_EQ(model.imageIndex(0), 9);

    list.InsertMy(0, placed);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.dataWord(0), 5u);
    EXPECT_EQ(model.imageIndex(0), 9);
    EXPECT_EQ(model.iconTop(0), -1);  // the copy finds its own place
}

TEST_F(WatchListViewRows, DroppedRowsLandBeforeTheTargetInTheirOldOrder)
{
    Fill({{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}});
    EXPECT_TRUE(list.DropRows({2, 3}, 0));
    EXPECT_EQ(Column(model, 0), (QStringList{"c", "d", "a", "b"}));
    EXPECT_EQ(list.SelectedRows(), (QList<int>{0, 1}));
    // Downwards: the block lands before the target.
    EXPECT_TRUE(list.DropRows({0, 2}, 3));
    EXPECT_EQ(Column(model, 0), (QStringList{"d", "c", "a", "b"}));
    EXPECT_EQ(list.SelectedRows(), (QList<int>{1, 2}));
    EXPECT_FALSE(list.DropRows({0}, 4));
    EXPECT_EQ(Column(model, 0), (QStringList{"d", "c", "a", "b"}));
}

TEST_F(WatchListViewRows, DraggingWithTheMouseInTheDetailsView)
{
    Fill({{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}});
    list.CanDrag = true;
    list.SetViewStyle(DragDropListView::vsReport);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.SetSelectedRows({2, 3});
    QSignalSpy dropped(&list, &DragDropListView::ItemsDropped);

    QWidget *viewport = list.ReportView()->viewport();
    const QPoint from = list.RowRect(2).center();
    const QPoint to = list.RowRect(0).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    // The press on a selected row keeps both rows selected for the drag.
    EXPECT_EQ(list.SelectedRows(), (QList<int>{2, 3}));
    QTest::mouseMove(viewport, from + QPoint(0, -QApplication::startDragDistance() - 2));
    EXPECT_TRUE(list.IsDragging());
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    EXPECT_FALSE(list.IsDragging());
    EXPECT_EQ(Column(model, 0), (QStringList{"c", "d", "a", "b"}));
    EXPECT_EQ(dropped.count(), 1);

    // A click on a selected row without a drag selects that row alone.
    list.SetSelectedRows({0, 1});
    const QPoint click = list.RowRect(1).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, click);
    EXPECT_EQ(list.SelectedRows(), (QList<int>{1}));
}

TEST_F(WatchListViewRows, ACancelledDragDropsNothingAndIgnoresTheRestOfTheGesture)
{
    Fill({{"a", ""}, {"b", ""}, {"c", ""}});
    list.CanDrag = true;
    list.SetViewStyle(DragDropListView::vsReport);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.SetSelectedRows({2});
    QSignalSpy dropped(&list, &DragDropListView::ItemsDropped);

    QWidget *viewport = list.ReportView()->viewport();
    const QPoint from = list.RowRect(2).center();
    const QPoint to = list.RowRect(0).center();
    list.CancelDrag();  // nothing to cancel
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, -QApplication::startDragDistance() - 2));
    ASSERT_TRUE(list.IsDragging());
    list.CancelDrag();
    EXPECT_FALSE(list.IsDragging());
    QTest::mouseMove(viewport, to);
    EXPECT_FALSE(list.IsDragging());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    EXPECT_EQ(Column(model, 0), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(dropped.count(), 0);
    EXPECT_EQ(list.SelectedRows(), (QList<int>{2}));

    // The next gesture drags as usual.
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, -QApplication::startDragDistance() - 2));
    EXPECT_TRUE(list.IsDragging());
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    EXPECT_EQ(Column(model, 0), (QStringList{"c", "a", "b"}));
    EXPECT_EQ(dropped.count(), 1);
}

TEST_F(WatchListViewRows, DraggedIconsMoveByTheOffsetAndTheModelKeepsTheirPlace)
{
    WatchListModel::Row a = MakeRow("a", "A");
    a.iconTop = 10;
    a.iconLeft = 20;
    WatchListModel::Row b = MakeRow("b", "B");
    b.iconTop = 10;
    b.iconLeft = 200;
    model.appendRow(a);
    model.appendRow(b);
    model.appendRow(MakeRow("c", "C"));  // not placed
    list.CanDrag = true;
    list.SetViewStyle(DragDropListView::vsIcon);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QCoreApplication::processEvents();
    EXPECT_EQ(list.ItemPosition(0), QPoint(20, 10));
    EXPECT_EQ(list.ItemPosition(1), QPoint(200, 10));

    list.SetSelectedRows({0, 1});
    list.DropAt(QPoint(30, 30), QPoint(60, 130));
    EXPECT_EQ(model.iconLeft(0), 50);
    EXPECT_EQ(model.iconTop(0), 110);
    EXPECT_EQ(model.iconLeft(1), 230);
    EXPECT_EQ(list.ItemPosition(1), QPoint(230, 110));
    EXPECT_EQ(model.iconTop(2), -1);
    // The rows themselves stay where they are in the icon views.
    EXPECT_EQ(Column(model, 0), (QStringList{"a", "b", "c"}));

    // Sorting reorders the rows; placed icons keep their places.
    list.Sort(0, 2);
    EXPECT_EQ(Column(model, 0), (QStringList{"c", "b", "a"}));
    EXPECT_EQ(model.iconLeft(2), 50);
    EXPECT_EQ(model.iconTop(2), 110);
    QCoreApplication::processEvents();
    EXPECT_EQ(list.ItemPosition(2), QPoint(50, 110));
}

TEST_F(WatchListViewRows, ArrangeSnapsEachIconToItsNearestFreeCell)
{
    const QList<QPoint> placed{{205, 83}, {230, 75}, {1040, 10}, {40, 45}};
    for (const QPoint &p : placed) {
        WatchListModel::Row r = MakeRow("x", "X");
        r.iconLeft = p.x();
        r.iconTop = p.y();
        model.appendRow(r);
    }
    list.SetViewStyle(DragDropListView::vsIcon);
    list.IconView()->setGridSize(QSize(100, 80));
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QCoreApplication::processEvents();

    list.Arrange();
    // The second icon's nearest cell is the first one's; it takes the next
    // nearest. An icon beyond the visible width stays out there.
    const QList<QPoint> expected{{200, 80}, {300, 80}, {1000, 0}, {0, 80}};
    for (int row = 0; row < expected.size(); ++row) {
        EXPECT_EQ(list.ItemPosition(row), expected[row]) << row;
        EXPECT_EQ(QPoint(model.iconLeft(row), model.iconTop(row)), expected[row]) << row;
    }
}

TEST_F(WatchListViewRows, OneSelectionForEveryView)
{
    Fill({{"a", ""}, {"b", ""}, {"c", ""}});
    list.SetViewStyle(DragDropListView::vsList);
    list.SetSelectedRows({1});
    list.SetViewStyle(DragDropListView::vsReport);
    EXPECT_EQ(list.SelectedRows(), (QList<int>{1}));
    EXPECT_TRUE(list.ReportView()->selectionModel()->isRowSelected(1, {}));
    list.SetViewStyle(DragDropListView::ViewKind(7));
    EXPECT_EQ(list.ViewStyle(), DragDropListView::vsIcon);
    EXPECT_EQ(list.SelectedRows(), (QList<int>{1}));
}

TEST_F(WatchListViewRows, HeaderReportsTheStartAndEndOfAResize)
{
    Fill({{"a", ""}});
    list.SetViewStyle(DragDropListView::vsReport);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QHeaderView *header = list.Header();
    header->resizeSection(0, 80);
    QSignalSpy startTrack(&list, &DragDropListView::HeaderStartTrack);
    QSignalSpy endTrack(&list, &DragDropListView::HeaderEndTrack);
    const QPoint divider(header->sectionViewportPosition(0) + 80, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, divider);
    EXPECT_EQ(startTrack.count(), 1);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, divider);
    EXPECT_TRUE(endTrack.wait(1000) || endTrack.count() == 1);
    // Columns may be hidden at width 0.
    header->resizeSection(3, 0);
    EXPECT_EQ(header->sectionSize(3), 0);
}

}  // namespace

// A damaged list's name can be thousands of pixels wide: fitted to it, its
// column would push every other one off the window.
TEST_F(ListFixture, AFittedColumnNeverOpensWiderThanHalfTheScreen)
{
    Fill({{QString(4000, u'W'), QStringLiteral("PC01")}});
    ListColumns columns(&list);
    columns.Restore();
    columns.FitDefaults();
    const int half = list.screen()->availableGeometry().width() / 2;
    EXPECT_EQ(list.Header()->sectionSize(WatchListModel::ColUserName), half);
    EXPECT_LT(list.Header()->sectionSize(WatchListModel::ColResourceName), half);
}

// A status changes with every pass: a column fitted to "Logged in" would
// cut "Unconfirmed" and "Network watch error" at the next change.
TEST_F(ListFixture, TheFittedStatusColumnHoldsEveryStatusInEnglish)
{
    ASSERT_TRUE(UseConsoleLanguage(u"en"_s));
    struct BackToJapanese {
        ~BackToJapanese() { UseConsoleLanguage(u"ja"_s); }
    } back;
    Fill({{u"tanaka"_s, u"PC01"_s}});
    model.setText(0, WatchListModel::ColStatus, StatusLoggedIn);
    ListColumns columns(&list);
    columns.Restore();
    columns.FitDefaults();
    const QString widest = QCoreApplication::translate("WatchList", StatusWatchError.toUtf8().constData());
    ASSERT_NE(widest, StatusWatchError);
    EXPECT_GT(list.Header()->sectionSize(WatchListModel::ColStatus),
              list.ReportView()->fontMetrics().horizontalAdvance(widest));
}
