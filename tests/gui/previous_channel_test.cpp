// Backspace on the picture goes back to the channel watched before, and again to the one before
// that; the channel before is kept warm, so each goes as fast as a step to a neighbouring row.

#include "PlayerWindowFixture.h"
#include "player/timeshift/ShiftingEngine.h"
#include "player/warm/WarmPlayerEngine.h"
#include "support/Xdo.h"

namespace {

class PreviousChannelTest : public PlayerWindowFixture {
protected:
    // The first and the last rows are far apart: only being the channel before keeps the first warm.
    QList<int> playlistChannels() const override { return {201, 202, 203, 204}; }
    QList<int> boxChannels() const override { return {201, 202, 203, 204}; }

    WarmPlayerEngine &warm() const {
        auto &shifting = dynamic_cast<ShiftingEngine &>(form1->vlc->controller().engine());
        return dynamic_cast<WarmPlayerEngine &>(shifting.live());
    }
    bool isWarm(int channel) const {
        return warm().warmAddresses().contains(QString::fromLatin1(m_box.address(channel)));
    }
    void focusPicture() {
        form1->activateWindow();
        form1->vlc->setFocus();
        ASSERT_TRUE(waitUntil([&] { return form1->vlc->hasFocus(); }, 5000));
    }
};

TEST_F(PreviousChannelTest, BackspaceGoesBackAndForthToTheChannelBeforeHandedOverWarm) {
    form2->chooseRow(0);
    ASSERT_TRUE(waitForChannel(201));
    form2->chooseRow(3);
    ASSERT_TRUE(waitForChannel(204));
    focusPicture();
    for (const int back : {201, 204, 201}) {
        const int left = back == 201 ? 204 : 201;
        ASSERT_TRUE(waitUntil([&] { return isWarm(back); }, 20000)) << back << " never warm";
        ASSERT_TRUE(xdo::key(QStringLiteral("BackSpace")));
        ASSERT_TRUE(waitUntil([&] { return lineup.current() == (back == 201 ? 0 : 3); }, 5000));
        EXPECT_TRUE(warm().lastPlayWasHandedOver()) << "to " << back;
        EXPECT_TRUE(waitForChannel(back)) << "from " << left;
        EXPECT_EQ(form2->ListBox1->currentRow(), lineup.current()) << "chosen as a click on its row";
        EXPECT_EQ(form1->Label1->text(), QString::number(back) + QLatin1Char(' '));
    }
}

} // namespace
