#pragma once

#include "player/SoutChain.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>

// An option the player cannot make sense of; what() is the French text in UTF-8.
class PlayerOptionError : public std::runtime_error {
public:
    explicit PlayerOptionError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// The options queued with a stream, in the player's usual syntax: "[:]name[=value]", where a
// "no" or "no-" before a flag's name turns it off ("nooverlay"). Options the player does not know
// are ignored, so a playlist written for another player still plays.
struct PlayerOptions {
    // Draw through a video overlay; this player always paints the picture itself.
    bool overlay = true;
    bool audio = true;
    bool video = true;
    // Receive RTSP over the control connection instead of UDP.
    bool rtspTcp = false;
    // Network buffering in milliseconds; empty keeps the player's own low value.
    std::optional<int> networkCachingMs;
    std::optional<int> ttl;
    // A stream-output (recording) chain.
    std::optional<SoutChain> sout;

    // Throws PlayerOptionError on an option that is known but malformed.
    static PlayerOptions parse(const QStringList &options);

    bool operator==(const PlayerOptions &) const = default;

private:
    void apply(const QString &option);
};
