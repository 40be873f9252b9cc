#include "forms/Unit3.h"

#include "forms/WindowFont.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

TForm3::TForm3(const QString &authorPage, QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_authorPage(authorPage) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("A Propos"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(windowFont());
    setFixedSize(284, 116);
    move(829, 134);

    Label1 = new QLabel(QStringLiteral("Halcyon TV a ete creer par"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(48, 24);
    Label1->adjustSize();

    Label2 = new QLabel(m_authorPage, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    QFont linkFont = windowFont();
    linkFont.setUnderline(true);
    Label2->setFont(linkFont);
    QPalette blue = Label2->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label2->setPalette(blue);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->move(80, 48);
    Label2->adjustSize();
    Label2->installEventFilter(this);

    Button1 = new QPushButton(QStringLiteral("Fermer"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(104, 80, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
}

TForm3::~TForm3() = default;

void TForm3::Label2Click() {
    QDesktopServices::openUrl(QUrl(m_authorPage));
}

void TForm3::Button1Click() {
    close();
}

// A label has no click of its own: a left press and release over it make one.
bool TForm3::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Label2) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_label2Pressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonRelease && m_label2Pressed) {
            m_label2Pressed = false;
            auto *release = static_cast<QMouseEvent *>(event);
            if (release->button() == Qt::LeftButton && Label2->rect().contains(release->position().toPoint()))
                Label2Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
