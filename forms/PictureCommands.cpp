#include "forms/PictureCommands.h"

#include "channels/ChannelLineup.h"
#include "channels/ProgrammeMarks.h"
#include "forms/FullScreenView.h"
#include "forms/Unit2.h"
#include "player/StreamFactsText.h"
#include "player/TVLCPlugin.h"
#include "player/VolumeSteps.h"
#include "player/timeshift/ShiftControl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <functional>

namespace {

// Sees every event of the program and hands each to a test, passing it on whatever it says.
class EventWatch : public QObject {
public:
    using Test = std::function<void(QObject *, QEvent *)>;
    EventWatch(Test test, QObject *parent) : QObject(parent), m_test(std::move(test)) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        m_test(watched, event);
        return false;
    }

private:
    Test m_test;
};

} // namespace

PictureCommands::PictureCommands(TVLCPlugin *picture, QWidget *window, QMenu *menu,
                                 const ChannelLineup &lineup, QObject *parent)
    : QObject(parent), m_picture(picture), m_window(window), m_menu(menu), m_lineup(lineup),
      m_fullScreen(new FullScreenView(window)) {
    m_clock.start();
    m_entryTimer.setSingleShot(true);
    connect(&m_entryTimer, &QTimer::timeout, this, &PictureCommands::chooseTypedNumber);
    m_otherChoices = new EventWatch(
        [this](QObject *watched, QEvent *event) {
            if (cancelsTypedNumber(watched, event))
                cancelTypedNumber();
        },
        this);
    connect(&m_lineup, &ChannelLineup::watched, this, &PictureCommands::channelWatched);
    for (QObject *watched : {static_cast<QObject *>(picture), static_cast<QObject *>(window),
                             static_cast<QObject *>(m_fullScreen)})
        watched->installEventFilter(this);
}

bool PictureCommands::isFullScreen() const {
    return m_fullScreen->isActive();
}

void PictureCommands::setFullScreen(bool on) {
    if (on == isFullScreen())
        return;
    if (on) {
        m_fullScreen->enter(m_picture, m_window->screen());
        showCurrentBanner();
    } else {
        m_fullScreen->leave();
    }
}

void PictureCommands::showCurrentBanner() {
    const int row = m_lineup.current();
    if (row < 0)
        return;
    const ChannelTitle title = m_lineup.title(row);
    PictureOverlay::Banner banner{title.number, title.name, m_lineup.programmes(row), {}};
    if (m_marks) {
        for (const GuideProgramme &programme : std::as_const(banner.programmes)) {
            if (m_marks->mark(row, programme) != ProgrammeMarks::Mark::None)
                banner.markedStarts.append(programme.start);
        }
    }
    m_picture->showBanner(banner);
}

void PictureCommands::channelWatched() {
    // A channel chosen another way (the list, the desktop's controls) drops the number being typed.
    cancelTypedNumber();
    showCurrentBanner();
}

bool PictureCommands::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPressed(static_cast<QKeyEvent *>(event));
    case QEvent::MouseButtonDblClick:
        if (watched != m_picture || static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
        setFullScreen(!isFullScreen());
        return true;
    case QEvent::Wheel: {
        if (watched != m_picture)
            return false;
        m_wheelAngle += static_cast<QWheelEvent *>(event)->angleDelta().y();
        const int notches = m_wheelAngle / 120;
        m_wheelAngle -= notches * 120;
        if (notches != 0)
            stepVolume(notches);
        return true;
    }
    case QEvent::ContextMenu:
        if (watched != m_picture || !isFullScreen())
            return false;
        m_menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    default:
        return false;
    }
}

bool PictureCommands::keyPressed(QKeyEvent *event) {
    // Shortcuts with Ctrl or Alt belong to whoever defines them.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (shiftKeyPressed(event))
        return true;
    switch (event->key()) {
    // Held down, these would flip back and forth at the keyboard's repeat rate.
    case Qt::Key_F:
    case Qt::Key_F11:
        if (!event->isAutoRepeat())
            setFullScreen(!isFullScreen());
        return true;
    // The number being typed goes first; the next Escape leaves full screen.
    case Qt::Key_Escape:
        if (isTypingNumber()) {
            cancelTypedNumber();
            return true;
        }
        if (!isFullScreen())
            return false;
        setFullScreen(false);
        return true;
    // While a number is typed it takes a digit back; otherwise it goes back to the channel before.
    case Qt::Key_Backspace:
        // Held down, it takes back digit after digit, but goes back to the channel before once.
        if (isTypingNumber())
            takeBackDigit();
        else if (!event->isAutoRepeat())
            watchPrevious();
        return true;
    // The unshifted key that carries + on most main rows counts as + too.
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        stepVolume(1);
        return true;
    case Qt::Key_Minus:
        stepVolume(-1);
        return true;
    case Qt::Key_M:
        if (!event->isAutoRepeat())
            toggleMute();
        return true;
    case Qt::Key_G:
        if (!event->isAutoRepeat())
            emit gridRequested();
        return true;
    case Qt::Key_I:
        if (!event->isAutoRepeat())
            m_picture->showFacts(StreamFactsText::lines(m_picture->controller().streamFacts()));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_entry.isEmpty())
            return false;
        chooseTypedNumber();
        return true;
    default:
        break;
    }
    if (event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9) {
        typeDigit(QChar(u'0' + (event->key() - Qt::Key_0)));
        return true;
    }
    return false;
}

bool PictureCommands::shiftKeyPressed(QKeyEvent *event) {
    constexpr qint64 kStepMs = 10000;
    constexpr qint64 kLongStepMs = 60000;
    const int key = event->key();
    if (key != Qt::Key_Space && key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Home &&
        key != Qt::Key_End)
        return false;
    ShiftControl *shift = m_picture->shift();
    if (!shift)
        return false;
    // Held down, Space would pause and resume at the keyboard's repeat rate; a held arrow moves on.
    if (key == Qt::Key_Space && event->isAutoRepeat())
        return true;
    // Shown first, so a refusal or a return to live the control tells at once is what stays.
    m_picture->shiftKeyPressed();
    const qint64 step = (event->modifiers() & Qt::ShiftModifier) ? kLongStepMs : kStepMs;
    switch (key) {
    case Qt::Key_Space:
        shift->togglePause();
        break;
    case Qt::Key_Left:
        shift->seekBy(-step);
        break;
    case Qt::Key_Right:
        shift->seekBy(step);
        break;
    case Qt::Key_Home:
        shift->toOldest();
        break;
    default:
        shift->toLive();
        break;
    }
    return true;
}

void PictureCommands::stepVolume(int steps) {
    // A step is heard: it ends a mute.
    m_picture->setMuted(false);
    m_picture->setVolume(VolumeSteps::stepped(m_picture->volume(), steps));
    m_picture->showNotice(VolumeSteps::indicatorText(m_picture->volume(), false));
}

void PictureCommands::toggleMute() {
    m_picture->setMuted(!m_picture->isMuted());
    m_picture->showNotice(VolumeSteps::indicatorText(m_picture->volume(), m_picture->isMuted()));
}

void PictureCommands::typeDigit(QChar digit) {
    m_entry.type(digit, m_clock.elapsed());
    showTypedDigits();
}

void PictureCommands::takeBackDigit() {
    m_entry.takeBack(m_clock.elapsed());
    showTypedDigits();
}

void PictureCommands::showTypedDigits() {
    m_picture->setTypedDigits(m_entry.digits());
    watchOtherChoices(isTypingNumber());
    if (isTypingNumber())
        m_entryTimer.start(int(m_entry.dueAtMs() - m_clock.elapsed()));
    else
        m_entryTimer.stop();
}

void PictureCommands::cancelTypedNumber() {
    if (!isTypingNumber())
        return;
    m_entry.clear();
    showTypedDigits();
}

void PictureCommands::watchOtherChoices(bool watch) {
    if (watch == m_watchingOtherChoices)
        return;
    m_watchingOtherChoices = watch;
    // Removing a filter is safe from inside it, which is where a cancel comes from.
    if (watch)
        qApp->installEventFilter(m_otherChoices);
    else
        qApp->removeEventFilter(m_otherChoices);
}

bool PictureCommands::cancelsTypedNumber(QObject *watched, QEvent *event) const {
    // Events reach a window's QWindow before its widgets: each press is judged once, at the widget.
    if (!watched->isWidgetType())
        return false;
    if (event->type() == QEvent::MouseButtonPress)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    return key == Qt::Key_Up || key == Qt::Key_Down;
}

void PictureCommands::watchPrevious() {
    const int row = m_lineup.previous();
    if (m_list && row >= 0)
        m_list->chooseRow(row);
}

void PictureCommands::chooseTypedNumber() {
    const QString number = m_entry.take();
    showTypedDigits();
    if (number.isEmpty())
        return;
    const int row = m_list ? m_lineup.rowOfNumber(number) : -1;
    if (row < 0) {
        m_picture->showNotice(QStringLiteral("Chaîne %1 introuvable").arg(number));
        return;
    }
    m_list->chooseRow(row);
}
