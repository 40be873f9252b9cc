#include "app/TApplication.h"

#include "app/DesktopIdentity.h"
#include "app/ErrorText.h"

#include <QFileInfo>
#include <QMessageBox>

namespace {

// What the box says for an exception that carries no message of its own.
constexpr const char *kUnknownException = "Exception inconnue";

} // namespace

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
    applyDesktopIdentity();
}

bool TApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showException(e);
    } catch (...) {
        showErrorMessage(kUnknownException);
    }
    return false;
}

QString TApplication::title() const {
    return applicationTitle(applicationFilePath());
}

void TApplication::showException(const std::exception &e) {
    showErrorMessage(QByteArray(e.what()));
}

void TApplication::showErrorMessage(const QByteArray &message) {
    // Counted now, not when the box appears: a key-polling tick in between must already see it.
    if (m_boxes++ == 0)
        emit errorBoxOpenChanged(true);
    QMetaObject::invokeMethod(
        this, [this, message] { openErrorBox(message); }, Qt::QueuedConnection);
}

void TApplication::openErrorBox(const QByteArray &message) {
    auto *box = new QMessageBox(QMessageBox::Critical, title(), QString::fromUtf8(withFinalPeriod(message)),
                                QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::ApplicationModal);
    // The channel list floats above everything: the box must float above it, or it opens half
    // hidden and the program looks frozen.
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    connect(box, &QDialog::finished, this, [this, box] {
        box->deleteLater();
        boxClosed();
    });
    box->show();
}

void TApplication::boxClosed() {
    if (--m_boxes == 0)
        emit errorBoxOpenChanged(false);
}

int TApplication::fatalStartupError(const std::exception &e) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erreur d'application"),
                    startupFailureText(exceptionKind(e), QFileInfo(applicationFilePath()).fileName(), &e,
                                       QByteArrayView(e.what())),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return 1;
}
