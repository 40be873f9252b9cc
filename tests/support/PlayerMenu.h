#pragma once

#include "support/Xdo.h"

#include <QList>
#include <QStringList>
#include <functional>

// Opens the player's pop-up menu on the skin's right-hand side, which the guide does not cover,
// and picks an item with the keys until done() holds. Keys pressed before the menu has taken the
// keyboard go to the window under it, so a choice that changed nothing is tried again. Tab and
// Shift+Tab walk the menu as Down and Up do, without the arrows the player window polls to change
// channel.
// done() is given doneWithinMs after each try.
bool chooseFromPlayerMenu(xdo::WindowId player, const QStringList &keys, const std::function<bool()> &done,
                          int doneWithinMs = 5000);

// The process and all its descendants, from the parent links in /proc.
QList<qint64> processTree(qint64 root);
