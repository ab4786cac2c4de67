// The board of the snapshots for other systems while none of them reads it:
// a snapshot is taken only when the main thread asks, since taking it reads
// the list's rows, which only the main thread may.

#include "engine/WatchSnapshot.h"

#include <gtest/gtest.h>

#include <thread>

TEST(SnapshotBoard, ADueSnapshotIsTakenOnlyOnTheThreadThatTakesIt)
{
    SnapshotBoard board;
    int taken = 0;
    board.makeWhenAsked([&] {
        auto s = std::make_shared<WatchSnapshot>();
        s->taken = QDateTime::currentDateTime();
        s->passes = quint64(++taken);
        return s;
    });
    EXPECT_FALSE(board.current()->taken.isValid()) << "nothing is due before the first change";

    const quint64 before = board.version();
    board.due();
    EXPECT_GT(board.version(), before);
    WatchSnapshotPtr seenElsewhere;
    std::thread([&] { seenElsewhere = board.current(); }).join();
    EXPECT_EQ(taken, 0);
    EXPECT_FALSE(seenElsewhere->taken.isValid());

    EXPECT_EQ(board.current()->passes, 1u);
    EXPECT_EQ(board.current()->passes, 1u) << "taken once a change";
    board.due();
    EXPECT_EQ(board.current()->passes, 2u);
    EXPECT_EQ(taken, 2);
}
