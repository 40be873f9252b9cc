#pragma once

#include <QApplication>
#include <QByteArray>

#include <exception>

class QMessageBox;

// The application object. Every exception that escapes an event handler ends here and is shown
// in a stop box captioned with the application title; the program then goes on. The box is
// opened from the event loop, never inside the catch, so the timer whose tick threw keeps
// ticking while the box is open.
//
// errorBoxOpen is also a property, so windows can ask qApp->property("errorBoxOpen") without
// depending on this class (it reads as false under a plain QApplication).
class TApplication : public QApplication {
    Q_OBJECT
    Q_PROPERTY(bool errorBoxOpen READ errorBoxOpen NOTIFY errorBoxOpenChanged)
public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The application title, from the program file's name.
    QString title() const;

    // Queue the error box for a failure caught outside event delivery (a window's creation in
    // the main block, say).
    void showException(const std::exception &e);
    // message: UTF-8, as in what().
    void showErrorMessage(const QByteArray &message);

    // True from the moment a failure is caught until its box, and every other, is closed.
    bool errorBoxOpen() const { return m_boxes > 0; }

    // A failure that stops start-up: shows "Erreur d'application" at once and returns the
    // process exit status to leave with (1).
    int fatalStartupError(const std::exception &e);

signals:
    void errorBoxOpenChanged(bool open);

private:
    void openErrorBox(const QByteArray &message);
    void boxClosed();

    int m_boxes = 0;
};
