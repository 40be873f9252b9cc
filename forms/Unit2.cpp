#include "forms/Unit2.h"

#include "channels/ChannelLineup.h"
#include "forms/ChannelListBox.h"
#include "forms/WindowFont.h"
#include "player/PlayerControl.h"
#include "player/TuneSequence.h"
#include "shaping/WindowDrag.h"

#include <QBitmap>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

TForm2::TForm2(PlayerControl &player, ChannelLineup &lineup, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_player(player),
      m_lineup(lineup) {
    setupDescription();
}

TForm2::~TForm2() = default;

void TForm2::setupDescription() {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    setFont(windowFont());
    // Black is the key colour: whatever stays black is cut out of the window.
    setStyleSheet(QStringLiteral("TForm2 { background: black; }"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    move(986, 307);
    resize(225, 348);

    auto label = [this](const char *name, int left, int top) {
        auto *l = new QLabel(QLatin1String(name), this);
        l->setObjectName(QLatin1String(name));
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    Label1 = label("Label1", 224, 32);
    Label2 = label("Label2", 232, 72);
    Label3 = label("Label3", 272, 152);

    ListBox1 = new ChannelListBox(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(8, 0, 209, 325);
    ListBox1->setFrameShape(QFrame::NoFrame);
    // As a list box: a vertical scroll bar once there are more rows than fit, never a horizontal one.
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPixelSize(13);
    listFont.setBold(true);
    // Without anti-aliasing no dark fringe is left around the letters once black is keyed out.
    listFont.setStyleStrategy(QFont::NoAntialias);
    ListBox1->setFont(listFont);
    ListBox1->setStyleSheet(
        QStringLiteral("QListWidget { background: black; color: white; border: none; outline: none; }"
                       "QListWidget::item { color: white; background: black; border: none; padding: 0px; }"
                       "QListWidget::item:selected { color: white; background: #1c3f94; }"));
    ListBox1->viewport()->setCursor(Qt::PointingHandCursor);
    connect(ListBox1, &ChannelListBox::selectionChangedByUser, this, [this] {
        // The choice is made inside the item view's own selection handling: a failure thrown
        // through it would leave the highlight half moved. It is thrown again from the event loop.
        try {
            ListBox1Click();
        } catch (...) {
            QMetaObject::invokeMethod(
                this, [failure = std::current_exception()] { std::rethrow_exception(failure); },
                Qt::QueuedConnection);
        }
    });
    connect(ListBox1, &ChannelListBox::painted, this, &TForm2::scheduleMaskUpdate);

    auto button = [this](const char *name, const QString &caption, const QRect &place) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(place);
        b->setCursor(Qt::PointingHandCursor);
        b->setVisible(false);
        return b;
    };
    Button1 = button("Button1", QStringLiteral("chaine +"), QRect(104, 288, 75, 25));
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    Button2 = button("Button2", QStringLiteral("chaine -"), QRect(24, 288, 75, 25));
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

void TForm2::FormCreate() {
    Playlist playlist;
    playlist.loadFromWorkingFolder();
    m_lineup.setPlaylist(std::move(playlist));
    ListBox1->addItems(m_lineup.rowTexts());
}

void TForm2::ListBox1Click() {
    tuneRow(ListBox1->currentRow());
}

void TForm2::chooseRow(int row) {
    ListBox1->selectRowFromCode(row);
    ListBox1Click();
}

void TForm2::tuneRow(int row) {
    // The lookup comes first: when it fails, neither the label nor the playback changes.
    const QByteArray address = m_lineup.address(row);
    emit channelNumberChanged(m_lineup.number(row));
    // Told before the tune, as the banner comes up with it: a tune that then fails (a blank
    // address) still leaves its row the one named.
    m_lineup.watch(row);
    runTuneSequence(m_player, address, {QByteArrayLiteral("nooverlay")}, true);
    // A held key goes on one way: the control is offered several rows each way, nearest first, and
    // keeps as many as it can; Backspace goes back to the channel before, offered after them.
    constexpr int kRowsEachWay = 8;
    m_player.setNeighbours(m_lineup.offeredAddresses(row, kRowsEachWay));
}

void TForm2::setPictureKeysTarget(QObject *target) {
    ListBox1->setPictureKeysTarget(target);
}

void TForm2::focusList() {
    ListBox1->setFocus();
}

void TForm2::Button1Click() {
    Button2->setEnabled(true);
    if (ListBox1->currentRow() < ListBox1->count() - 1) {
        ListBox1->selectRowFromCode(ListBox1->currentRow() + 1);
        ListBox1Click();
    } else {
        Button1->setEnabled(false);
    }
}

void TForm2::Button2Click() {
    Button1->setEnabled(true);
    if (ListBox1->currentRow() != 0) {
        // With no row selected this asks for row -2, which the list refuses; the lookup then fails.
        ListBox1->selectRowFromCode(ListBox1->currentRow() - 1);
        ListBox1Click();
    } else {
        Button2->setEnabled(false);
    }
}

// The window system hides and shows the window again on its own (another desktop, a minimised
// owner): that is no showing or hiding of the list, which stays where it is and keeps its button.
void TForm2::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !m_restacking)
        FormShow();
}

void TForm2::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous() && !m_restacking)
        FormHide();
}

void TForm2::setAboveWindow(QWidget *window) {
    if (!windowHandle())
        create();
    QWindow *above = window ? window->windowHandle() : nullptr;
    if (windowHandle()->transientParent() == above)
        return;
    // The window system reads whom a window belongs to when it is mapped: a shown list is mapped anew.
    const bool shown = isVisible();
    m_restacking = true;
    if (shown)
        hide();
    windowHandle()->setTransientParent(above);
    if (shown)
        show();
    m_restacking = false;
}

void TForm2::mousePressEvent(QMouseEvent *event) {
    FormMouseDown(event);
}

void TForm2::FormShow() {
    emit shown();
    scheduleMaskUpdate();
}

void TForm2::FormHide() {
    emit hidden();
}

void TForm2::FormMouseDown(QMouseEvent *event) {
    WindowDrag::start(this, event->globalPosition().toPoint(), event->button());
}

void TForm2::scheduleMaskUpdate() {
    if (m_maskPending || m_grabbing)
        return;
    m_maskPending = true;
    QTimer::singleShot(0, this, &TForm2::updateMask);
}

void TForm2::updateMask() {
    m_maskPending = false;
    if (!isVisible())
        return;
    // Cut the window to what was painted in any colour but black: the names and the selection.
    m_grabbing = true;
    const QImage painted = grab().toImage().convertToFormat(QImage::Format_RGB32);
    m_grabbing = false;
    QRegion shown(QBitmap::fromImage(painted.createMaskFromColor(qRgb(0, 0, 0), Qt::MaskInColor)));
    // An empty mask would show the whole window; keep one pixel instead.
    if (shown.isEmpty())
        shown = QRegion(0, 0, 1, 1);
    if ((shown ^ mask()).isEmpty())
        return;
    setMask(shown);
    // What was painted while still cut away is not on screen yet: paint the newly shown parts.
    ListBox1->viewport()->update();
}
