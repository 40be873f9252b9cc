#include "player/engine/TapLine.h"

#include <QList>
#include <gtest/gtest.h>

// A stream's way to its tap: what reaches the tap, in what order, and that nothing does once closed.
namespace {

struct Heard {
    QList<QByteArray> packets;
    QList<qint64> arrivals;
    StreamTap tap() {
        return [this](const QByteArray &bytes, qint64 arrivalNs) {
            packets << bytes;
            arrivals << arrivalNs;
        };
    }
};

TEST(TapLine, GivesWhatComesUntilClosedAndNothingAfter) {
    Heard heard;
    TapLine line(heard.tap());
    EXPECT_FALSE(line.hasDelivered());
    line.deliver("a", 1);
    line.deliver("b", 2);
    line.close();
    line.deliver("c", 3);
    line.give(heard.tap());
    line.deliver("d", 4);
    EXPECT_EQ(heard.packets, (QList<QByteArray>{"a", "b"}));
    EXPECT_TRUE(line.isClosed());
}

TEST(TapLine, ALineBegunBeforeItsTapHoldsTheStreamFromItsFirstPacketWithItsArrivals) {
    Heard heard;
    TapLine line;
    line.deliver("a", 10);
    line.deliver("b", 20);
    EXPECT_FALSE(line.hasDelivered());
    line.give(heard.tap());
    line.deliver("c", 30);
    EXPECT_EQ(heard.packets, (QList<QByteArray>{"a", "b", "c"}));
    EXPECT_EQ(heard.arrivals, (QList<qint64>{10, 20, 30}));
    EXPECT_TRUE(line.hasDelivered());
}

TEST(TapLine, NoTapToGiveClosesTheLineAndDropsWhatItHeld) {
    TapLine line;
    line.deliver("a", 1);
    line.give({});
    EXPECT_TRUE(line.isClosed());
    Heard heard;
    line.give(heard.tap());
    EXPECT_TRUE(heard.packets.isEmpty());
}

TEST(TapLine, AStartTooLongToHoldIsDroppedWholeAndTheStreamGoesOnFromTheTap) {
    Heard heard;
    TapLine line;
    const QByteArray megabyte(1024 * 1024, 'x');
    for (qsizetype held = 0; held <= TapLine::kMaxHeldBytes; held += megabyte.size())
        line.deliver(megabyte, 1);
    line.deliver("late", 2);
    line.give(heard.tap());
    line.deliver("live", 3);
    // Never a stretch with a hole in it: the packets the tap gets follow each other.
    EXPECT_EQ(heard.packets, (QList<QByteArray>{"live"}));
}

} // namespace
