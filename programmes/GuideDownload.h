#pragma once

#include <QFile>
#include <QUrl>
#include <atomic>
#include <memory>

// Fetches a guide over http or https into an anonymous file (see AnonymousFile), on the calling
// thread, which it holds until the transfer ends: meant for a thread of the guide's own, never the
// UI thread.
class GuideDownload {
public:
    // A download bigger than this is abandoned. It goes to a file, not to memory: the bound is the
    // reader's (see GuideLimits).
    static constexpr qint64 kMaxBytes = 1024LL * 1024 * 1024;
    // A transfer that moves nothing for this long is given up.
    static constexpr int kStallTimeoutMs = 60 * 1000;

    // The guide's bytes, the file at its start; null with the reason in why. Gives up soon after
    // *cancelled becomes true.
    static std::unique_ptr<QFile> fetch(const QUrl &url, const std::atomic_bool &cancelled, QString *why,
                                        qint64 maxBytes = kMaxBytes);
};
