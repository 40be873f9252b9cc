#include "PictureImage.h"
#include "shaping/TSkTranspaMoveForm.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr QPoint kFormPos(200, 150);

// A press seen as the platform delivers it: to the widget under the pointer, positions in its
// own coordinates and on screen.
void send(QWidget *receiver, QEvent::Type type, QPoint local, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(local), QPointF(receiver->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(receiver, &event);
}

// A borderless form with a skin, a label, another image, a hidden image and a windowed child.
struct HookForm {
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    PictureImage *skin = new PictureImage(form.get());
    QLabel *label = new QLabel(QStringLiteral("Chaîne 2"), form.get());
    PictureImage *button = new PictureImage(form.get());
    PictureImage *hidden = new PictureImage(form.get());
    QWidget *player = new QWidget(form.get());
    TSkTranspaMoveForm *component = nullptr;

    HookForm() {
        form->resize(220, 140);
        skin->setObjectName(QStringLiteral("Image1"));
        skin->setGeometry(0, 0, 200, 120);
        label->setObjectName(QStringLiteral("Label1"));
        label->setGeometry(10, 100, 60, 15);
        button->setObjectName(QStringLiteral("Image3"));
        button->setGeometry(150, 100, 20, 15);
        hidden->setObjectName(QStringLiteral("Image6"));
        hidden->setGeometry(120, 100, 15, 15);
        hidden->hide();
        player->setObjectName(QStringLiteral("vlc"));
        player->setGeometry(20, 10, 160, 80);
        component = new TSkTranspaMoveForm(form.get(), TSkTranspaMoveForm::Creation::FromDescription);
        component->setImageLinked(skin);
        component->setDeplacement(true);
        component->Loaded();
        form->move(kFormPos);
        form->show();
    }

    // Presses at a form position on the given receiver, moves the pointer by (30, 20) with the
    // button held, releases; returns how far the form moved.
    QPoint dragBy(QWidget *receiver, QPoint formPos) {
        const QPoint local = receiver->mapFrom(form.get(), formPos);
        const QPoint before = form->pos();
        send(receiver, QEvent::MouseButtonPress, local, Qt::LeftButton, Qt::LeftButton);
        send(receiver, QEvent::MouseMove, local + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
        send(receiver, QEvent::MouseButtonRelease, local + QPoint(30, 20), Qt::LeftButton, Qt::NoButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QPoint moved = form->pos() - before;
        form->move(kFormPos);
        return moved;
    }

    void click(QWidget *receiver, QPoint formPos) {
        const QPoint local = receiver->mapFrom(form.get(), formPos);
        send(receiver, QEvent::MouseButtonPress, local, Qt::LeftButton, Qt::LeftButton);
        send(receiver, QEvent::MouseButtonRelease, local, Qt::LeftButton, Qt::NoButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace

TEST(MessageHook, APressOnTheSkinOrALabelDragsTheForm) {
    HookForm f;
    EXPECT_EQ(f.dragBy(f.form.get(), QPoint(5, 5)), QPoint(30, 20));
    EXPECT_EQ(f.dragBy(f.skin, QPoint(100, 95)), QPoint(30, 20));
    EXPECT_EQ(f.dragBy(f.label, QPoint(12, 102)), QPoint(30, 20));
    // A move after the release no longer drags.
    const QPoint before = f.form->pos();
    send(f.form.get(), QEvent::MouseMove, QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(f.form->pos(), before);
}

TEST(MessageHook, TheDraggingPressReachesNoControl) {
    HookForm f;
    QSignalSpy clicks(f.skin, &PictureImage::clicked);
    f.click(f.skin, QPoint(100, 95));
    EXPECT_EQ(clicks.count(), 0);
}

TEST(MessageHook, PressesOnOtherImagesAndWindowedChildrenAreLeftAlone) {
    HookForm f;
    QSignalSpy clicks(f.button, &PictureImage::clicked);
    EXPECT_EQ(f.dragBy(f.button, QPoint(155, 105)), QPoint(0, 0));
    f.click(f.button, QPoint(155, 105));
    EXPECT_EQ(clicks.count(), 1);
    // The hidden image still covers its area of the skin.
    EXPECT_EQ(f.dragBy(f.skin, QPoint(125, 105)), QPoint(0, 0));
    EXPECT_EQ(f.dragBy(f.player, QPoint(50, 50)), QPoint(0, 0));

    // Nor do right presses or presses with dragging off start anything.
    send(f.skin, QEvent::MouseButtonPress, QPoint(100, 95), Qt::RightButton, Qt::RightButton);
    send(f.skin, QEvent::MouseMove, QPoint(130, 115), Qt::NoButton, Qt::RightButton | Qt::LeftButton);
    send(f.skin, QEvent::MouseButtonRelease, QPoint(130, 115), Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(f.form->pos(), kFormPos);
    f.component->setDeplacement(false);
    EXPECT_EQ(f.dragBy(f.skin, QPoint(100, 95)), QPoint(0, 0));
}

TEST(MessageHook, WithNoImageLinkedEveryImageKeepsItsPresses) {
    HookForm f;
    f.component->setImageLinked(nullptr);
    EXPECT_EQ(f.dragBy(f.skin, QPoint(100, 95)), QPoint(0, 0));
    EXPECT_EQ(f.dragBy(f.label, QPoint(12, 102)), QPoint(0, 0));
    EXPECT_EQ(f.dragBy(f.form.get(), QPoint(210, 130)), QPoint(30, 20));
}

TEST(MessageHook, OnlyTheLastComponentHooksAndItsPredecessorComesBack) {
    HookForm f;
    auto *second = new TSkTranspaMoveForm(f.form.get());
    second->setDeplacement(false);
    EXPECT_EQ(f.dragBy(f.skin, QPoint(100, 95)), QPoint(0, 0));
    delete second;
    EXPECT_EQ(f.dragBy(f.skin, QPoint(100, 95)), QPoint(30, 20));
    delete f.component;
    EXPECT_EQ(f.dragBy(f.skin, QPoint(100, 95)), QPoint(0, 0));
}
