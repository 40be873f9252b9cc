#include "QtPrinting.h"

#include "player/PlayQueue.h"

#include <gtest/gtest.h>

namespace {

PlayTarget target(const QString &address) {
    return PlayTarget{address, {}};
}

TEST(PlayQueue, InsertAtTheHeadAndPlayTheNewest) {
    PlayQueue queue;
    EXPECT_FALSE(queue.mostRecent());
    queue.insert(target("a"), 1, 0);
    queue.insert(target("b"), 1, 0);
    EXPECT_EQ(queue.addresses(), QList<QString>({"b", "a"}));
    EXPECT_EQ(queue.mostRecent()->address, "b");
}

TEST(PlayQueue, TheNewestIsPlayedWhereverItWasPut) {
    PlayQueue queue;
    queue.insert(target("a"), 1, 0);
    queue.insert(target("b"), 1, 99); // past the end: appended
    queue.insert(target("c"), 4, 0);  // not an insert: appended
    queue.insert(target("d"), 1, -3);
    EXPECT_EQ(queue.addresses(), QList<QString>({"d", "a", "b", "c"}));
    EXPECT_EQ(queue.mostRecent()->address, "d");
}

TEST(PlayQueue, ManyTunesKeepOnlyTheMostRecentFew) {
    PlayQueue queue;
    for (int i = 0; i < 10000; ++i)
        queue.insert(target(QString::number(i)), 1, 0);
    EXPECT_EQ(queue.size(), PlayQueue::kCapacity);
    EXPECT_EQ(queue.mostRecent()->address, "9999");
    EXPECT_EQ(queue.addresses().first(), "9999");
    EXPECT_EQ(queue.addresses().last(), QString::number(10000 - PlayQueue::kCapacity));

    // The oldest inserted goes first, even when it sits at the head.
    PlayQueue appended;
    appended.insert(target("old"), 1, 0);
    for (int i = 0; i < PlayQueue::kCapacity; ++i)
        appended.insert(target(QString("tail%1").arg(i)), 4, 0);
    EXPECT_FALSE(appended.addresses().contains("old"));
}

} // namespace
