#include "engine/WatchListModel.h"

#include <QPersistentModelIndex>
#include <gtest/gtest.h>

namespace {

using M = WatchListModel;

M::Row Named(const QString &name, qint32 image = 0)
{
    M::Row r;
    r.texts[M::ColUserName] = name;
    r.imageIndex = image;
    return r;
}

QStringList Names(const M &list)
{
    QStringList names;
    for (int i = 0; i < list.rowCount(); ++i)
        names << list.text(i, M::ColUserName);
    return names;
}

void FillAbcd(M &list)
{
    for (const char *n : {"a", "b", "c", "d"})
        list.appendRow(Named(QString::fromLatin1(n)));
}

} // namespace

TEST(WatchListModel, MovesRowsToTheGivenIndex)
{
    M list;
    FillAbcd(list);
    EXPECT_TRUE(list.moveRow(0, 2));
    EXPECT_EQ(Names(list), QStringList({"b", "c", "a", "d"}));
    EXPECT_TRUE(list.moveRow(3, 0));
    EXPECT_EQ(Names(list), QStringList({"d", "b", "c", "a"}));
    EXPECT_TRUE(list.moveRow(1, 1));
    EXPECT_FALSE(list.moveRow(0, 4));
    EXPECT_FALSE(list.moveRow(-1, 0));
    EXPECT_EQ(Names(list), QStringList({"d", "b", "c", "a"}));

    // The item-model form: a block of two before row 0.
    EXPECT_TRUE(list.moveRows({}, 2, 2, {}, 0));
    EXPECT_EQ(Names(list), QStringList({"c", "a", "d", "b"}));
    EXPECT_FALSE(list.moveRows({}, 3, 2, {}, 0));
}

TEST(WatchListModel, InsertRemoveClearAndReplace)
{
    M list;
    FillAbcd(list);
    QPersistentModelIndex c(list.index(2, 0));
    list.insertRow(1, Named("x"));
    EXPECT_EQ(Names(list), QStringList({"a", "x", "b", "c", "d"}));
    EXPECT_EQ(c.row(), 3);
    EXPECT_TRUE(list.removeRows(0, 2));
    EXPECT_EQ(Names(list), QStringList({"b", "c", "d"}));
    EXPECT_FALSE(list.removeRows(2, 2));
    EXPECT_TRUE(list.insertRows(3, 2));
    EXPECT_EQ(list.rowCount(), 5);
    EXPECT_EQ(list.text(4, M::ColUserName), QString());
    EXPECT_EQ(list.iconTop(4), -1);

    list.setRows({Named("p"), Named("q")});
    EXPECT_EQ(Names(list), QStringList({"p", "q"}));
    list.clear();
    EXPECT_EQ(list.rowCount(), 0);
    // Reading a row that is not there gives an empty row, never a crash.
    EXPECT_EQ(list.text(0, 0), QString());
    EXPECT_EQ(list.dataWord(7), 0u);
    EXPECT_FALSE(list.data(list.index(0, 0)).isValid());
}

TEST(WatchListModel, SortIsStableAndPersistentIndexesFollow)
{
    M list;
    list.appendRows({Named("b", 1), Named("a", 2), Named("b", 3), Named("a", 4)});
    QPersistentModelIndex third(list.index(2, M::ColStatus));
    list.sortRows([](const M::Row &x, const M::Row &y) { return x.texts[0] < y.texts[0]; });
    EXPECT_EQ(Names(list), QStringList({"a", "a", "b", "b"}));
    EXPECT_EQ(list.imageIndex(0), 2);
    EXPECT_EQ(list.imageIndex(1), 4);
    EXPECT_EQ(list.imageIndex(2), 1);
    EXPECT_EQ(list.imageIndex(3), 3);
    EXPECT_EQ(third.row(), 3);
    EXPECT_EQ(third.column(), int(M::ColStatus));
}

TEST(WatchListModel, RolesAndChangeNotifications)
{
    M list;
    FillAbcd(list);
    std::vector<QModelIndex> changed;
    QObject::connect(&list, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex &topLeft) { changed.push_back(topLeft); });

    EXPECT_TRUE(list.setData(list.index(1, M::ColStatus), QStringLiteral("ﾛｸﾞｲﾝ")));
    EXPECT_EQ(list.data(list.index(1, M::ColStatus)).toString(), QStringLiteral("ﾛｸﾞｲﾝ"));
    ASSERT_EQ(int(changed.size()), 1);
    EXPECT_EQ(changed[0], list.index(1, M::ColStatus));

    // Row-wide values read the same through any column.
    list.setImageIndex(1, 9);
    list.setDataWord(1, 0x00050300);
    EXPECT_EQ(list.data(list.index(1, M::ColMAC), M::ImageIndexRole).toInt(), 9);
    EXPECT_EQ(list.data(list.index(1, 0), M::DataWordRole).toUInt(), 0x00050300u);
    EXPECT_EQ(int(changed.size()), 3);
    list.setImageIndex(1, 9); // no change, no signal
    EXPECT_EQ(int(changed.size()), 3);

    EXPECT_TRUE(list.setData(list.index(1, 0), 15, M::IconLeftRole));
    EXPECT_EQ(list.iconLeft(1), 15);
    EXPECT_EQ(list.iconTop(1), -1);
    EXPECT_TRUE(list.setData(list.index(1, 0), QVariant(), M::IconLeftRole));
    EXPECT_FALSE(list.data(list.index(1, 0), M::IconLeftRole).isValid());
    list.setIconPosition(1, -20, 3); // any negative coordinate means not placed
    EXPECT_EQ(list.iconTop(1), -1);
    EXPECT_FALSE(list.setData(list.index(1, 0), 1, Qt::DecorationRole));

    EXPECT_TRUE(list.setHeaderData(M::ColStatus, Qt::Horizontal, QStringLiteral("状態")));
    EXPECT_EQ(list.headerData(M::ColStatus, Qt::Horizontal).toString(), QStringLiteral("状態"));
    EXPECT_EQ(list.columnCount(), 11);
}

TEST(WatchListModel, ARowIsFoundByItsIdentityUntilItIsGone)
{
    M list;
    FillAbcd(list);
    const quint64 c = list.rowId(2);
    list.sortRows([](const M::Row &a, const M::Row &b) { return a.texts[0] > b.texts[0]; });
    list.moveRow(0, 3);
    list.setRow(list.rowOfId(c), Named("c2"));
    ASSERT_EQ(Names(list), QStringList({"c2", "b", "a", "d"}));
    EXPECT_EQ(list.rowOfId(c, 2), 0) << "a wrong hint is only a hint";

    // A copy that goes in (the editor's OK) is another row; the old one is gone.
    list.setRows(std::vector<M::Row>(list.rows()));
    EXPECT_EQ(list.rowOfId(c), -1);
    const quint64 d = list.rowId(3);
    list.removeRows(3, 1);
    EXPECT_EQ(list.rowOfId(d), -1);
}
