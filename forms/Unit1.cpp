#include "forms/Unit1.h"

#include "channels/ChannelLineup.h"
#include "channels/ProgrammeMarks.h"
#include "forms/FullScreenView.h"
#include "forms/GuideGridWindow.h"
#include "forms/KeyStateTracker.h"
#include "forms/PictureCommands.h"
#include "forms/RecordCommand.h"
#include "forms/TImage.h"
#include "forms/TrackMenus.h"
#include "forms/Unit2.h"
#include "forms/Unit4.h"
#include "forms/Unit5.h"
#include "forms/WindowFont.h"
#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"
#include "shaping/TSkTranspaMoveForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTimer>

namespace {

QImage asset(const char *name) {
    return QImage(QStringLiteral(":/assets/%1").arg(QLatin1String(name)));
}

// The side windows are shown, not opened modally: one window however often it is asked for.
void bringUp(QWidget *window) {
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

TForm1::TForm1(const QByteArray &startupStream, const QByteArray &recordFallbackStream, ChannelLineup &lineup,
               EarlyTune *earlyTune, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_startupStream(startupStream),
      m_recordFallbackStream(recordFallbackStream), m_lineup(lineup) {
    setupDescription(earlyTune);
}

TForm1::~TForm1() = default;

void TForm1::setListWindow(TForm2 *list) {
    m_list = list;
    m_pictureCommands->setListWindow(list);
    // Full screen and its keys belong to the picture, also while the list has the focus.
    if (list)
        list->setPictureKeysTarget(vlc);
}
void TForm1::setAboutWindow(QWidget *about) {
    m_about = about;
}
void TForm1::setDestinationWindow(TForm4 *destination) {
    m_destination = destination;
}

void TForm1::setGuideWindow(TForm5 *guide) {
    m_guide = guide;
}

void TForm1::setProgrammeMarks(ProgrammeMarks *marks) {
    m_marks = marks;
    m_pictureCommands->setMarks(marks);
    if (m_grid)
        m_grid->setMarks(marks);
}

void TForm1::setupDescription(EarlyTune *earlyTune) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Halcyon"));
    setFont(windowFont());
    setWindowIcon(QIcon(QStringLiteral(":/assets/mainicon.png")));
    move(310, 342);
    resize(685, 431);

    Image1 = new TImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 685, 431);
    Image1->setAutoSize(true);
    Image1->setBitmap(asset("skin.png"));
    Image1->setMouseTracking(true);
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Image1, &TImage::mouseMoved, this, &TForm1::Image1MouseMove);
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(Image1->mapToGlobal(pos)); });

    Image2 = addButtonImage("Image2", QRect(104, 360, 25, 23), "previous.png",
                            QStringLiteral("Chaine Precedente"));
    connect(Image2, &TImage::clicked, this, &TForm1::Image2Click);
    Image3 = addButtonImage("Image3", QRect(72, 360, 25, 23), "next.png", QStringLiteral("Chaine Suivante"));
    connect(Image3, &TImage::clicked, this, &TForm1::Image3Click);
    Image4 =
        addButtonImage("Image4", QRect(589, 360, 25, 23), "power.png", QStringLiteral("Arreter la Tele"));
    connect(Image4, &TImage::clicked, this, &TForm1::Image4Click);

    Label1 = new QLabel(QStringLiteral("2"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(307, 364);
    QFont numberFont = windowFont(19);
    numberFont.setBold(true);
    Label1->setFont(numberFont);
    Label1->setStyleSheet(QStringLiteral("color: #00ff00; background: transparent;"));
    Label1->adjustSize();

    Label2 = new QLabel(QStringLiteral("Halcyon TV"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(104, 16);
    QFont titleFont = windowFont(13);
    titleFont.setItalic(true);
    Label2->setFont(titleFont);
    Label2->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label2->adjustSize();

    Image5 = addButtonImage("Image5", QRect(643, 16, 39, 28), "list.png",
                            QStringLiteral("Afficher/Cacher la liste"));
    Image5->setTag(0);
    connect(Image5, &TImage::clicked, this, &TForm1::Image5Click);
    Image6 =
        addButtonImage("Image6", QRect(568, 364, 15, 15), "record.png", QStringLiteral("Enregistrement"));
    Image6->setVisible(false);
    connect(Image6, &TImage::clicked, this, &TForm1::Image6Click);

    vlc = new TVLCPlugin(this, earlyTune);
    vlc->setObjectName(QStringLiteral("vlc"));
    vlc->setGeometry(QRect(QPoint(72, 32), pictureSize()));
    vlc->setFocusPolicy(Qt::StrongFocus);

    // The stored settings of the shaping component; Loaded() shapes the window once with them.
    SkTranspaMoveForm1 = new TSkTranspaMoveForm(this, TSkTranspaMoveForm::Creation::FromDescription);
    SkTranspaMoveForm1->setObjectName(QStringLiteral("SkTranspaMoveForm1"));
    SkTranspaMoveForm1->setImageLinked(Image1);
    SkTranspaMoveForm1->setTransparent(true);
    SkTranspaMoveForm1->setTransparentColor(8421504);
    SkTranspaMoveForm1->RGVTransparentColor()->setR(128);
    SkTranspaMoveForm1->RGVTransparentColor()->setG(128);
    SkTranspaMoveForm1->RGVTransparentColor()->setB(128);
    SkTranspaMoveForm1->XYTransparentColor()->setX(-1);
    SkTranspaMoveForm1->XYTransparentColor()->setY(-1);
    SkTranspaMoveForm1->setDeplacement(true);

    // The arrow keys are polled on the timer: the tracker remembers which ones the program's
    // windows saw go down and not yet up.
    m_keys = new KeyStateTracker(this);
    qApp->installEventFilter(m_keys);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();

    setupMenu();
    m_pictureCommands = new PictureCommands(vlc, this, PopupMenu1, m_lineup, this);
    connect(m_pictureCommands, &PictureCommands::gridRequested, this, &TForm1::GuideDesProgrammes1Click);
    connect(m_pictureCommands->fullScreen(), &FullScreenView::activeChanged, this,
            &TForm1::fullScreenChanged);
    connect(m_pictureCommands->fullScreen(), &FullScreenView::pointerMovedTo, this,
            [this](const QPoint &pos) { pointerMovedOver(pos, m_pictureCommands->fullScreen()->screen()); });
    SkTranspaMoveForm1->Loaded();
}

TImage *TForm1::addButtonImage(const char *name, const QRect &place, const char *bitmap,
                               const QString &hint) {
    auto *image = new TImage(this);
    image->setObjectName(QLatin1String(name));
    image->setGeometry(place);
    image->setBitmap(asset(bitmap));
    image->setToolTip(hint);
    image->setCursor(Qt::PointingHandCursor);
    return image;
}

void TForm1::setupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char *name, const QString &caption, void (TForm1::*handler)()) {
        QAction *action = PopupMenu1->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    ListeDesChaines1 =
        item("ListeDesChaines1", QStringLiteral("Liste Des Chaines"), &TForm1::ListeDesChaines1Click);
    ChaineSuivante1 =
        item("ChaineSuivante1", QStringLiteral("Chaine Suivante"), &TForm1::ChaineSuivante1Click);
    ChainePrecedente1 =
        item("ChainePrecedente1", QStringLiteral("Chaine Precedente"), &TForm1::ChainePrecedente1Click);
    ProgrammeTV1 = item("ProgrammeTV1", QStringLiteral("Programme TV"), &TForm1::ProgrammeTV1Click);
    APropos1 = item("APropos1", QStringLiteral("A Propos"), &TForm1::APropos1Click);
    Enregistrer1 = item("Enregistrer1", QStringLiteral("Enregistrer"), &TForm1::Enregistrer1Click);
    optiondenregistrement1 = item("optiondenregistrement1", QStringLiteral("Option d'enregistrement"),
                                  &TForm1::optiondenregistrement1Click);
    Exit1 = item("Exit1", QStringLiteral("Exit"), &TForm1::Exit1Click);
    m_trackMenus = new TrackMenus(&vlc->controller(), PopupMenu1, this);
    GuideDesProgrammes1 = item("GuideDesProgrammes1", QStringLiteral("Guide des programmes"),
                               &TForm1::GuideDesProgrammes1Click);
    GuideDesProgrammes1->setVisible(false);
    // The playlist is read after the menu is built, and may name a guide or not.
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        GuideDesProgrammes1->setVisible(!m_lineup.guideAddress().isEmpty());
        m_trackMenus->updateSeparator();
    });
}

void TForm1::FormCreate() {
    SkTranspaMoveForm1->setTransparentColor(255);
    runTuneSequence(*vlc, m_startupStream, startupOptions(), false);
}

QList<QByteArray> TForm1::startupOptions() {
    return {QByteArrayLiteral("nooverlay")};
}

QSize TForm1::pictureSize() {
    return QSize(537, 329);
}

void TForm1::setChannelNumber(const QString &number) {
    Label1->setText(number);
    Label1->adjustSize();
}

void TForm1::Image3Click() {
    if (m_list)
        m_list->Button1Click();
}

void TForm1::Image2Click() {
    if (m_list)
        m_list->Button2Click();
}

void TForm1::Image4Click() {
    close();
}

void TForm1::Image5Click() {
    if (!m_list)
        return;
    if (Image5->tag() == 1) {
        m_list->hide();
    } else {
        showListWindow();
        m_list->focusList();
    }
}

void TForm1::showListWindow() {
    m_list->show();
    m_list->raise();
    m_list->activateWindow();
}

void TForm1::Image1MouseMove(const QPoint &pos) {
    pointerMovedOver(Image1->mapToGlobal(pos), screen());
}

void TForm1::pointerMovedOver(const QPoint &globalPos, const QScreen *screen) {
    // Within ten pixels of the right edge of the screen the picture is on, the list comes up as the
    // list button brings it, shown or not, only without asking for the focus itself.
    if (!m_list || !screen)
        return;
    const QRect area = screen->geometry();
    if (globalPos.x() > area.x() + area.width() - 10)
        showListWindow();
}

void TForm1::Timer1Timer() {
    UtilisationGetKeyState();
}

void TForm1::UtilisationGetKeyState() {
    // Nothing to step before the list exists.
    if (!m_list)
        return;
    // Nothing steps behind an open error box, or a held key would stack a new box on every tick; a
    // key held through it steps again only once pressed anew. Other dialogs do not stop the keys:
    // the tracker already leaves alone those their focused widget uses.
    if (qApp->property("errorBoxOpen").toBool()) {
        m_keys->endRepeats();
        return;
    }
    // Both keys are read before either steps: a step that fails leaves nothing for a later tick.
    const int back = stepsOfKey(Qt::Key_Down);
    const int forward = stepsOfKey(Qt::Key_Up);
    for (int steps = back; steps > 0; --steps)
        m_list->Button2Click();
    for (int steps = forward; steps > 0; --steps)
        Image3Click();
}

int TForm1::stepsOfKey(int key) {
    // One step per press however short, then one per tick once the key has been held a while, as a
    // remote control repeats.
    constexpr qint64 kRepeatAfterMs = 300;
    int steps = m_keys->takePresses(key);
    if (steps == 0 && m_keys->heldForMs(key) >= kRepeatAfterMs)
        steps = 1;
    return steps;
}

void TForm1::ListeDesChaines1Click() {
    Image5Click();
}
void TForm1::ChaineSuivante1Click() {
    Image3Click();
}
void TForm1::ChainePrecedente1Click() {
    Image2Click();
}

void TForm1::ProgrammeTV1Click() {
    bringUp(m_guide);
    // Showing the window starts its browser if it had not started yet: a failure is known by now.
    if (m_guide)
        m_guide->requireBrowser();
}

void TForm1::APropos1Click() {
    bringUp(m_about);
}

void TForm1::Image6Click() {
    RecordCommand::run(*vlc, m_lineup, m_destination, m_recordFallbackStream);
}
void TForm1::Enregistrer1Click() {
    Image6Click();
}

void TForm1::optiondenregistrement1Click() {
    bringUp(m_destination);
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::GuideDesProgrammes1Click() {
    if (!m_grid) {
        m_grid = new GuideGridWindow(m_lineup, this);
        m_grid->setMarks(m_marks);
    }
    m_grid->setListWindow(m_list);
    m_grid->openAbove(
        m_pictureCommands->isFullScreen() ? static_cast<QWidget *>(m_pictureCommands->fullScreen()) : this);
}

void TForm1::listWindowShown() {
    placeListWindow();
    Image5->setTag(1);
}

void TForm1::placeListWindow() {
    if (!m_list)
        return;
    if (!m_pictureCommands->isFullScreen()) {
        m_list->move(x() + 392, y() + 35);
        return;
    }
    const QRect screen = m_pictureCommands->fullScreen()->geometry();
    m_list->move(screen.right() + 1 - m_list->width(),
                 screen.top() + (screen.height() - m_list->height()) / 2);
}

void TForm1::fullScreenChanged(bool active) {
    if (!m_list)
        return;
    // The list stays above the window the picture is in: a window manager keeps a full-screen
    // window above every other but those that belong to it.
    m_list->setAboveWindow(active ? m_pictureCommands->fullScreen() : nullptr);
    if (m_list->isVisible()) {
        placeListWindow();
        m_list->raise();
    }
}

void TForm1::listWindowHidden() {
    Image5->setTag(0);
}

void TForm1::closeEvent(QCloseEvent *event) {
    // The player window is the main window: closing it ends the program, whatever else is open.
    // The picture goes back to it first, so it goes with the window that owns it.
    m_pictureCommands->setFullScreen(false);
    event->accept();
    QCoreApplication::quit();
}
