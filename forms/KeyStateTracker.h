#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

class QKeyEvent;
class QWidget;

// Which keys are down, as the program's own windows saw them, and how many separate presses each
// has had since it was last asked: the key polling asks this rather than the keyboard, so it
// reacts only while one of the program's windows has the focus, and a press shorter than the
// polling interval is still counted once. Installed on the application, it sees every key event
// the windows receive.
//
// A press that goes to a widget which uses the key itself (a list's own selection, a text field, a
// tree, the guide page) is left to that widget and not counted here; so is a press made while an
// error box is open (the application's errorBoxOpen property): nothing is kept for after the box.
class KeyStateTracker : public QObject {
    Q_OBJECT
public:
    explicit KeyStateTracker(QObject *parent = nullptr);

    bool isDown(int key) const { return m_keys.value(key).down; }
    // How long the key has been held down without a release; -1 when it is up or may not repeat.
    qint64 heldForMs(int key) const;
    // The presses of the key since the last call, each counted once however short.
    int takePresses(int key);
    void clear() { m_keys.clear(); }
    // The keys down now repeat no more: each must be released and pressed again to count.
    void endRepeats();

    // True when a widget uses the arrow keys itself, so they must not also change channel.
    static bool usesArrowKeys(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Key {
        bool down = false;
        int presses = 0;
        qint64 downSinceMs = 0;
        bool repeats = true;
        // The press being delivered: the application sees one event once for the window, once for
        // the focused widget and again for each parent it is passed on to.
        const QEvent *delivering = nullptr;
    };

    void pressed(QObject *watched, const QKeyEvent *event);

    QHash<int, Key> m_keys;
    QElapsedTimer m_clock;
};
