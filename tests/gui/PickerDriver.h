#pragma once

// Drives modal dialogs from inside their own event loop: a test arms an action before the call
// that opens the dialog, and the action runs once a dialog of that type is the active modal one.
#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

class ModalDriver {
public:
    ModalDriver() = default;
    ModalDriver(const ModalDriver &) = delete;
    ModalDriver &operator=(const ModalDriver &) = delete;
    // Actions still armed when the test ends must not act on a later test's dialogs.
    ~ModalDriver() {
        for (const QPointer<QTimer> &poll : m_polls)
            delete poll.data();
    }

    template <typename Dialog> void when(const std::function<void(Dialog *)> &action, int timeoutMs = 10000) {
        auto *poll = new QTimer;
        m_polls.emplace_back(poll);
        const QDeadlineTimer deadline(timeoutMs);
        QObject::connect(poll, &QTimer::timeout, [poll, action, deadline] {
            auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
            if (!dialog && !deadline.hasExpired())
                return;
            poll->stop();
            if (dialog)
                action(dialog);
        });
        poll->start(20);
    }

    // Presses the button of the next message box that carries buttonText, and notes its text.
    void answerNextBox(const QString &buttonText, QString *boxText = nullptr, QString *boxTitle = nullptr) {
        when<QMessageBox>([=](QMessageBox *box) {
            if (boxText)
                *boxText = box->text();
            if (boxTitle)
                *boxTitle = box->windowTitle();
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == buttonText) {
                    button->click();
                    return;
                }
            }
            box->reject();
        });
    }

private:
    std::vector<QPointer<QTimer>> m_polls;
};
