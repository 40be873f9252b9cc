#pragma once

#include <QObject>
#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class PlayerController;

// The menu's choice of sound track and subtitles for the channel playing: "Langue audio", shown only
// when the channel has more than one sound track, and "Sous-titres" with "Aucun" first, shown when it
// has subtitles, the ones playing checked. Added after the menu's own items, which stay as they were
// on a channel with neither.
class TrackMenus : public QObject {
    Q_OBJECT
public:
    TrackMenus(PlayerController *player, QMenu *menu, QObject *parent = nullptr);

    QMenu *soundMenu() const { return m_sound; }
    QMenu *subtitlesMenu() const { return m_subtitles; }
    // The separator before these menus shows while any entry after it does: entries added to the
    // menu later, shown or hidden by their owner, call this once they change.
    void updateSeparator();

private:
    void refresh();
    // Fills menu with one checkable entry per name in group, the one at current checked. The
    // entries before go once their signal is done: a choice refreshes the menu while its own
    // entry's triggered signal is still being delivered.
    static void fill(QMenu *menu, QActionGroup *group, const QStringList &names, int current,
                     const std::function<void(int)> &choose);

    PlayerController *m_player;
    QMenu *m_menu;
    QMenu *m_sound;
    QMenu *m_subtitles;
    // One each, for the program's life: a choice in one unchecks the others.
    QActionGroup *m_soundGroup;
    QActionGroup *m_subtitlesGroup;
    QAction *m_separator;
    QAction *m_soundEntry;
    QAction *m_subtitlesEntry;
};
