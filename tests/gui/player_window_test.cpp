// The player window with the real player: start-up, stepping by its buttons, menu and keys.

#include "PlayerWindowFixture.h"
#include "forms/KeyStateTracker.h"
#include "player/EOleException.h"
#include "playlist/PlaylistErrors.h"
#include "support/Xdo.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

class PlayerWindowTest : public PlayerWindowFixture {};

// Enough rows that half a second of a held key cannot reach the end of the list.
class LongListTest : public PlayerWindowFixture {
protected:
    QList<int> playlistChannels() const override {
        QList<int> rows;
        for (int i = 0; i < 30; ++i)
            rows << 201 + i % 3;
        return rows;
    }
};

void clickOn(const QWidget *widget) {
    const QPoint centre = widget->mapToGlobal(QPoint(widget->width() / 2, widget->height() / 2));
    ASSERT_TRUE(xdo::mouseMove(centre.x(), centre.y()));
    ASSERT_TRUE(xdo::click());
}

TEST_F(PlayerWindowTest, StartsOnTheStartupStreamWithNoChannelChosen) {
    EXPECT_TRUE(waitForChannel(201)) << "the picture never showed channel 201";
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("2"));
    EXPECT_EQ(form2->ListBox1->currentRow(), -1);
    EXPECT_FALSE(form2->isVisible());
    EXPECT_EQ(form1->Timer1->interval(), 100);
    EXPECT_TRUE(form1->Timer1->isActive());
    EXPECT_FALSE(form1->Image6->isVisible());
}

TEST_F(PlayerWindowTest, SkinButtonsStepThroughTheChannels) {
    ASSERT_TRUE(waitForChannel(201));
    clickOn(form1->Image3);
    ASSERT_TRUE(waitUntil([&] { return form2->ListBox1->currentRow() == 0; }, 5000));
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("201 "));

    clickOn(form1->Image3);
    ASSERT_TRUE(waitUntil([&] { return form2->ListBox1->currentRow() == 1; }, 5000));
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("202 "));
    EXPECT_TRUE(waitForChannel(202));

    clickOn(form1->Image2);
    ASSERT_TRUE(waitUntil([&] { return form2->ListBox1->currentRow() == 0; }, 5000));
    EXPECT_TRUE(waitForChannel(201));
    EXPECT_EQ(form1->pos(), QPoint(310, 342)) << "a press on a button must not drag the window";
}

TEST_F(PlayerWindowTest, MenuItemsStepAndToggleTheList) {
    form1->ChaineSuivante1->trigger();
    form1->ChaineSuivante1->trigger();
    EXPECT_EQ(form2->ListBox1->currentRow(), 1);
    form1->ChainePrecedente1->trigger();
    EXPECT_EQ(form2->ListBox1->currentRow(), 0);

    const QStringList captions = [&] {
        QStringList list;
        for (QAction *action : form1->PopupMenu1->actions())
            list << action->text();
        return list;
    }();
    // The menu's own items first and in order; the channel's track choices may follow.
    EXPECT_EQ(captions.mid(0, 8),
              (QStringList{"Liste Des Chaines", "Chaine Suivante", "Chaine Precedente", "Programme TV",
                           "A Propos", "Enregistrer", "Option d'enregistrement", "Exit"}));

    form1->ListeDesChaines1->trigger();
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible(); }, 5000));
    EXPECT_EQ(form1->Image5->tag(), 1);
    form1->ListeDesChaines1->trigger();
    ASSERT_TRUE(waitUntil([&] { return !form2->isVisible(); }, 5000));
    EXPECT_EQ(form1->Image5->tag(), 0);
}

TEST_F(PlayerWindowTest, ListButtonShowsTheListAtItsOffsetThenHidesIt) {
    form1->move(200, 150);
    ASSERT_TRUE(waitUntil([&] { return form1->pos() == QPoint(200, 150); }, 5000));
    clickOn(form1->Image5);
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return form2->pos() == form1->pos() + QPoint(392, 35); }, 5000))
        << "list at " << form2->x() << "," << form2->y();
    EXPECT_EQ(form1->Image5->tag(), 1);

    // Moving the player afterwards leaves the list where it is.
    const QPoint listPos = form2->pos();
    form1->move(260, 180);
    ASSERT_TRUE(waitUntil([&] { return form1->pos() == QPoint(260, 180); }, 5000));
    EXPECT_EQ(form2->pos(), listPos);

    clickOn(form1->Image5);
    ASSERT_TRUE(waitUntil([&] { return !form2->isVisible(); }, 5000));
    EXPECT_EQ(form1->Image5->tag(), 0);
}

TEST_F(PlayerWindowTest, PointerAtTheScreensRightEdgeOverTheSkinShowsTheList) {
    const int screenWidth = form1->screen()->geometry().width();
    // Part of the skin hangs past the right edge so the pointer can reach the last ten pixels on it.
    form1->move(screenWidth - 634, 200);
    ASSERT_TRUE(waitUntil([&] { return form1->x() == screenWidth - 634; }, 5000));
    // Over the right-hand speaker: 14 pixels from the edge, then 4. The skin's pointer-move handler
    // has decided once the skin saw the pointer there.
    QSignalSpy moves(form1->Image1, &TImage::mouseMoved);
    ASSERT_TRUE(xdo::mouseMove(screenWidth - 14, 400));
    ASSERT_TRUE(waitUntil(
        [&] {
            return !moves.isEmpty() &&
                   form1->Image1->mapToGlobal(moves.last().at(0).toPoint()).x() == screenWidth - 14;
        },
        5000));
    EXPECT_FALSE(form2->isVisible()) << "the list came out away from the screen's edge";
    ASSERT_TRUE(xdo::mouseMove(screenWidth - 4, 400));
    EXPECT_TRUE(waitUntil([&] { return form2->isVisible(); }, 5000));
    EXPECT_EQ(form1->Image5->tag(), 1);
}

TEST_F(LongListTest, HeldUpKeyStepsSeveralChannelsAndStopsOnRelease) {
    ASSERT_TRUE(waitForChannel(201));
    form1->activateWindow();
    form1->vlc->setFocus();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == form1.get(); }, 5000));

    // Held for five polling ticks after the window saw it go down.
    const auto *keys = form1->findChild<KeyStateTracker *>();
    ASSERT_NE(keys, nullptr);
    QSignalSpy ticks(form1->Timer1, &QTimer::timeout);
    ASSERT_TRUE(xdo::keyDown(QStringLiteral("Up")));
    ASSERT_TRUE(waitUntil([&] { return keys->isDown(Qt::Key_Up); }, 5000));
    ticks.clear();
    ASSERT_TRUE(waitUntil([&] { return ticks.count() >= 5; }, 5000));
    ASSERT_TRUE(xdo::keyUp(QStringLiteral("Up")));
    ASSERT_TRUE(waitUntil([&] { return !keys->isDown(Qt::Key_Up); }, 5000));
    const int reached = form2->ListBox1->currentRow();
    EXPECT_GE(reached, 2) << "half a second of Up should step several rows";
    EXPECT_LE(reached, 9);
    // Four more polling ticks with the key up.
    ticks.clear();
    ASSERT_TRUE(waitUntil([&] { return ticks.count() >= 4; }, 5000));
    EXPECT_EQ(form2->ListBox1->currentRow(), reached) << "stepping went on after the key was released";
}

// Taps far shorter than the polling interval each step once; a key the list uses for its own
// selection moves the list only.
TEST_F(LongListTest, EachTapStepsOnceAndTheListsOwnKeysStepOnlyTheList) {
    ASSERT_TRUE(waitForChannel(201));
    form1->activateWindow();
    form1->vlc->setFocus();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == form1.get(); }, 5000));

    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(xdo::key(QStringLiteral("Up")));
    ASSERT_TRUE(waitUntil([&] { return form2->ListBox1->currentRow() >= 9; }, 5000));
    QTest::qWait(400);
    EXPECT_EQ(form2->ListBox1->currentRow(), 9) << "ten taps";

    form1->Image5Click();
    ASSERT_TRUE(waitUntil([&] { return form2->ListBox1->hasFocus() && form2->isActiveWindow(); }, 5000));
    ASSERT_TRUE(xdo::key(QStringLiteral("Down")));
    ASSERT_TRUE(waitUntil([&] { return form2->ListBox1->currentRow() != 9; }, 5000));
    QTest::qWait(400);
    EXPECT_EQ(form2->ListBox1->currentRow(), 10) << "the list's own Down also stepped the channel";
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("202 "));
}

// A row whose address is blank cannot be tuned: the list, the number and the picture all say so.
TEST_F(PlayerWindowTest, ARowWithABlankAddressIsChosenAndThePictureSaysWhyNothingPlays) {
    QFile file(QStringLiteral("playlist.m3u"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#EXTINF:-1,201 - Une\n" + m_box.address(201) + "\n#EXTINF:-1,202 - Vide\n   \n");
    file.close();
    form2->ListBox1->clear();
    form2->FormCreate();
    form2->Button1Click();
    ASSERT_TRUE(waitForChannel(201));

    EXPECT_THROW(form2->Button1Click(), EOleException);
    EXPECT_EQ(form2->ListBox1->currentRow(), 1);
    ASSERT_EQ(form2->ListBox1->selectedItems().size(), 1);
    EXPECT_EQ(form2->ListBox1->row(form2->ListBox1->selectedItems().first()), 1);
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("202 "));
    EXPECT_EQ(form1->vlc->statusText(), QStringLiteral("Adresse du flux vide"));
}

TEST_F(PlayerWindowTest, DownBeforeAnyChoiceFailsWithTheListIndexError) {
    try {
        form2->Button2Click();
        FAIL() << "stepping back with no selection must fail";
    } catch (const EListError &error) {
        EXPECT_STREQ(error.what(), "Indice de liste hors limites (-1)");
    }
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("2"));
    EXPECT_TRUE(form2->Button1->isEnabled());
}

TEST_F(PlayerWindowTest, HeldKeyDoesNotStepWhileAnErrorBoxIsOpen) {
    // Down with nothing selected fails on every tick; behind an open box it must not step at all.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(form1->vlc, &press);
    qApp->setProperty("errorBoxOpen", true);
    EXPECT_NO_THROW(form1->UtilisationGetKeyState());
    qApp->setProperty("errorBoxOpen", false);
    EXPECT_THROW(form1->UtilisationGetKeyState(), EListError);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(form1->vlc, &release);
    EXPECT_NO_THROW(form1->UtilisationGetKeyState());
}

TEST_F(PlayerWindowTest, ChoosingARowTunesItAndShowsItsNumber) {
    form1->Image5Click();
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible(); }, 5000));
    const QRect row = form2->ListBox1->visualItemRect(form2->ListBox1->item(2));
    QTest::mouseClick(form2->ListBox1->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_EQ(form2->ListBox1->currentRow(), 2);
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("203 "));
    EXPECT_TRUE(waitForChannel(203));
}

} // namespace
