// A small shaped, borderless form on a real X server: what shows through its cut-outs, and
// which presses drag it, with the window manager's move and by hand without one.
#include "forms/TImage.h"
#include "shaping/TSkTranspaMoveForm.h"
#include "support/Screen.h"
#include "support/Wait.h"
#include "support/XSession.h"
#include "support/Xdo.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kFrame = 0xff3c4650;
constexpr QPoint kStart(300, 250);
constexpr QPoint kOffset(70, 45);

// 240 x 160, red in the bottom rows except under the stand in the middle.
QImage skinPicture() {
    QImage skin(240, 160, QImage::Format_RGB32);
    skin.fill(kFrame);
    for (int y = 130; y < 160; ++y)
        for (int x = 0; x < 240; ++x)
            if (x < 80 || x >= 160)
                skin.setPixel(x, y, kRed);
    return skin;
}

// Counts the mouse presses and releases the program received, before any filter acts on them.
class MouseSpy : public QObject {
public:
    int presses = 0;
    int releases = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched->isWidgetType())
            return false;
        if (event->type() == QEvent::MouseButtonPress)
            ++presses;
        else if (event->type() == QEvent::MouseButtonRelease)
            ++releases;
        return false;
    }
};

class DragShapedForm : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(XSession::current(), nullptr);
        form = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        form->setWindowTitle(QStringLiteral("Forme de test"));
        skin = new TImage(form.get());
        skin->setObjectName(QStringLiteral("Image1"));
        skin->setAutoSize(true);
        skin->setBitmap(skinPicture());
        title = new QLabel(QStringLiteral("Chaîne 2"), form.get());
        title->setObjectName(QStringLiteral("Label2"));
        title->setGeometry(20, 10, 80, 16);
        button = new TImage(form.get());
        button->setObjectName(QStringLiteral("Image3"));
        QImage buttonPicture(24, 18, QImage::Format_RGB32);
        buttonPicture.fill(Qt::darkGreen);
        button->setBitmap(buttonPicture);
        button->setGeometry(190, 100, 24, 18);
        hidden = new TImage(form.get());
        hidden->setObjectName(QStringLiteral("Image6"));
        hidden->setGeometry(150, 100, 15, 15);
        hidden->hide();

        component = new TSkTranspaMoveForm(form.get(), TSkTranspaMoveForm::Creation::FromDescription);
        component->setImageLinked(skin);
        component->setTransparent(true);
        component->setTransparentColor(8421504);
        component->setDeplacement(true);
        component->Loaded();
        component->setTransparentColor(255);

        QApplication::instance()->installEventFilter(&spy);
        form->move(kStart);
        form->show();
        ASSERT_TRUE(waitUntil([&] { return position() == kStart; }, 5000)) << "window not placed";
    }

    void TearDown() override {
        xdo::mouseUp();
        form.reset();
        if (!XSession::current()->hasWindowManager())
            XSession::current()->startWindowManager();
    }

    // Where the X server has the window, as a person would find it.
    QPoint position() const { return xdo::windowGeometry(form->winId()).topLeft(); }

    // Presses at a form position, moves the pointer by kOffset and releases. The drag starts
    // with a nudge of a few pixels, as a hand's does; the window follows from there, so it is
    // expected to end up within the nudge of the pointer's offset. Motion is repeated until it
    // does: the window manager may take the drag over after the first one.
    bool drag(QPoint formPos) {
        const QPoint from = position() + formPos;
        const QPoint target = from + kOffset;
        const QPoint start = position();
        const int pressesBefore = spy.presses;
        xdo::mouseMove(from.x(), from.y());
        xdo::mouseDown();
        if (!waitUntil([&] { return spy.presses > pressesBefore; }, 5000))
            return false;
        xdo::mouseMove(from.x() + 4, from.y());
        waitUntil([] { return false; }, 100);
        bool followed = false;
        for (int attempt = 0; attempt < 10 && !followed; ++attempt) {
            xdo::mouseMove(target.x() - 1, target.y());
            xdo::mouseMove(target.x(), target.y());
            followed = waitUntil([&] { return (position() - start - kOffset).manhattanLength() <= 6; }, 400);
        }
        xdo::mouseUp();
        return followed;
    }

    // The same gesture where no drag should happen: true when the window stayed put.
    bool pressMoveRelease(QPoint formPos) {
        const QPoint before = position();
        const QPoint from = before + formPos;
        const int releasesBefore = spy.releases;
        xdo::mouseMove(from.x(), from.y());
        xdo::mouseDown();
        xdo::mouseMove(from.x() + kOffset.x(), from.y() + kOffset.y());
        xdo::mouseUp();
        waitUntil([&] { return spy.releases > releasesBefore; }, 5000);
        return position() == before;
    }

    MouseSpy spy;
    std::unique_ptr<QWidget> form;
    TImage *skin = nullptr;
    QLabel *title = nullptr;
    TImage *button = nullptr;
    TImage *hidden = nullptr;
    TSkTranspaMoveForm *component = nullptr;
};

} // namespace

TEST_F(DragShapedForm, TheRootShowsThroughTheKeyedRowsOnly) {
    ASSERT_TRUE(waitUntil(
        [&] {
            const QImage screen = screenshotRoot();
            const QPoint at = position();
            return colourNear(screen.pixel(at + QPoint(120, 145)), kFrame, 8) &&
                   colourNear(screen.pixel(at + QPoint(120, 20)), kFrame, 8);
        },
        5000))
        << "the skin was never drawn";
    const QImage screen = screenshotRoot();
    const QPoint at = position();
    for (const QPoint p :
         {QPoint(0, 130), QPoint(40, 159), QPoint(79, 145), QPoint(160, 130), QPoint(239, 159)})
        EXPECT_EQ(screen.pixel(at + p) & 0xffffff, 0u) << p.x() << "," << p.y();
    EXPECT_TRUE(colourNear(screen.pixel(at + QPoint(0, 0)), kFrame, 8));
    EXPECT_TRUE(colourNear(screen.pixel(at + QPoint(239, 129)), kFrame, 8));
}

TEST_F(DragShapedForm, PressesOnTheSkinAndTheLabelMoveTheWindowByThePointersOffset) {
    EXPECT_TRUE(drag(QPoint(120, 60)));
    EXPECT_TRUE(drag(title->geometry().center()));
}

TEST_F(DragShapedForm, PressesOnOtherImagesDoNotMoveTheWindowAndTheirClicksArrive) {
    QSignalSpy clicks(button, &TImage::clicked);
    EXPECT_TRUE(pressMoveRelease(button->geometry().center()));
    EXPECT_TRUE(pressMoveRelease(hidden->geometry().center()));

    const QPoint at = position() + button->geometry().center();
    xdo::mouseMove(at.x(), at.y());
    xdo::click();
    EXPECT_TRUE(waitUntil([&] { return clicks.count() == 1; }, 5000));
}

TEST_F(DragShapedForm, WithoutAWindowManagerTheWindowIsMovedByHand) {
    XSession::current()->stopWindowManager();
    EXPECT_TRUE(drag(QPoint(120, 60)));
    EXPECT_TRUE(drag(title->geometry().center()));
    EXPECT_TRUE(pressMoveRelease(button->geometry().center()));
}
