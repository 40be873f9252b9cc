#pragma once

#include <QObject>
#include <QSet>

// Which keys are down, as the program's own windows saw them: the key polling asks this rather
// than the keyboard, so it reacts only while one of the program's windows has the focus.
// Installed on the application, it sees every key event the windows receive.
class KeyStateTracker : public QObject {
    Q_OBJECT
public:
    explicit KeyStateTracker(QObject *parent = nullptr);

    bool isDown(int key) const { return m_down.contains(key); }
    void clear() { m_down.clear(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QSet<int> m_down;
};
