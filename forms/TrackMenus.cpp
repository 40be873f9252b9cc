#include "forms/TrackMenus.h"

#include "player/PlayerController.h"

#include <QActionGroup>
#include <QMenu>

TrackMenus::TrackMenus(PlayerController *player, QMenu *menu, QObject *parent)
    : QObject(parent), m_player(player), m_menu(menu),
      m_sound(new QMenu(QStringLiteral("Langue audio"), menu)),
      m_subtitles(new QMenu(QStringLiteral("Sous-titres"), menu)), m_soundGroup(new QActionGroup(m_sound)),
      m_subtitlesGroup(new QActionGroup(m_subtitles)) {
    m_sound->setObjectName(QStringLiteral("LangueAudio1"));
    m_subtitles->setObjectName(QStringLiteral("SousTitres1"));
    m_separator = menu->addSeparator();
    m_soundEntry = menu->addMenu(m_sound);
    m_subtitlesEntry = menu->addMenu(m_subtitles);
    connect(player, &PlayerController::tracksChanged, this, &TrackMenus::refresh);
    refresh();
}

void TrackMenus::refresh() {
    const QStringList sounds = m_player->soundTracks();
    m_soundEntry->setVisible(sounds.size() > 1);
    fill(m_sound, m_soundGroup, sounds, m_player->currentSound(),
         [this](int place) { m_player->chooseSound(place); });
    QStringList subtitles = m_player->subtitleTracks();
    m_subtitlesEntry->setVisible(!subtitles.isEmpty());
    updateSeparator();
    subtitles.prepend(QStringLiteral("Aucun"));
    fill(m_subtitles, m_subtitlesGroup, subtitles, m_player->currentSubtitles() + 1,
         [this](int place) { m_player->chooseSubtitles(place - 1); });
}

void TrackMenus::updateSeparator() {
    const QList<QAction *> entries = m_menu->actions();
    bool any = false;
    for (qsizetype i = entries.indexOf(m_separator) + 1; i > 0 && i < entries.size(); ++i)
        any = any || entries[i]->isVisible();
    m_separator->setVisible(any);
}

void TrackMenus::fill(QMenu *menu, QActionGroup *group, const QStringList &names, int current,
                      const std::function<void(int)> &choose) {
    for (QAction *old : menu->actions()) {
        group->removeAction(old);
        menu->removeAction(old);
        old->deleteLater();
    }
    for (int i = 0; i < names.size(); ++i) {
        QAction *action = menu->addAction(names[i]);
        action->setCheckable(true);
        action->setChecked(i == current);
        group->addAction(action);
        connect(action, &QAction::triggered, menu, [choose, i] { choose(i); });
    }
}
