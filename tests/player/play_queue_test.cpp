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
    EXPECT_EQ(queue.mostRecent()->address, "b");
}

TEST(PlayQueue, TheNewestIsPlayedWhereverItWasPut) {
    PlayQueue queue;
    queue.insert(target("a"), 1, 0);
    queue.insert(target("b"), 1, 99); // past the end
    EXPECT_EQ(queue.mostRecent()->address, "b");
    queue.insert(target("c"), 4, 0); // not an insert
    EXPECT_EQ(queue.mostRecent()->address, "c");
    queue.insert(target("d"), 1, -3);
    EXPECT_EQ(queue.mostRecent()->address, "d");
}

TEST(PlayQueue, ManyTunesKeepOnlyWhatIsPlayed) {
    PlayQueue queue;
    for (int i = 0; i < 10000; ++i)
        queue.insert(target(QString::number(i)), 1, 0);
    EXPECT_EQ(queue.size(), PlayQueue::kCapacity);
    EXPECT_EQ(queue.mostRecent()->address, "9999");
}

TEST(PlayTarget, ReadOnceWithWhereItCameFrom) {
    const QString chain = ":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,"
                          "url=\"/enr/a,b.mpg\",access=file}";
    struct Case {
        QStringList options;
        bool afterStop;
        TuneOrigin origin;
    };
    const QList<Case> cases = {
        {{"nooverlay"}, false, TuneOrigin::StartUp},
        {{"nooverlay"}, true, TuneOrigin::Row},
        {{chain, "ttl=1"}, false, TuneOrigin::Recording},
        // A chain records whatever came before it.
        {{chain, "ttl=1"}, true, TuneOrigin::Recording},
    };
    for (const Case &c : cases) {
        const PlayTarget read = PlayTarget::read("rtsp://box/orvantv/2 ", c.options, c.afterStop);
        EXPECT_EQ(read.origin, c.origin) << c.options.join(' ').toStdString();
        EXPECT_EQ(read.address, "rtsp://box/orvantv/2 ");
        EXPECT_EQ(read.options, PlayerOptions::parse(c.options));
    }
    EXPECT_EQ(PlayTarget::read("a", {chain}, false).options.sout->url, "/enr/a,b.mpg");
    for (const QString &empty : {QString(), QStringLiteral(" \t")})
        EXPECT_THROW(PlayTarget::read(empty, {"nooverlay"}, true), PlayerOptionError);
}

} // namespace
