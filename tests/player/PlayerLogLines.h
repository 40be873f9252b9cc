#pragma once

#include <QLoggingCategory>
#include <QStringList>

#include <mutex>

// The player's log lines (category halcyon.player) while it lives, at the level its filter rule
// turns on; lines at passOn or above still reach the handler before it.
class PlayerLogLines {
public:
    PlayerLogLines(const char *rule, QtMsgType passOn) : m_passOn(passOn) {
        s_current = this;
        QLoggingCategory::setFilterRules(QLatin1String(rule));
        m_previous = qInstallMessageHandler(&PlayerLogLines::handle);
    }
    ~PlayerLogLines() {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
        s_current = nullptr;
    }
    PlayerLogLines(const PlayerLogLines &) = delete;
    PlayerLogLines &operator=(const PlayerLogLines &) = delete;

    QStringList lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    QStringList startingWith(QLatin1String start) const {
        QStringList found;
        for (const QString &line : lines()) {
            if (line.startsWith(start))
                found << line;
        }
        return found;
    }
    QStringList containing(QLatin1String part) const { return lines().filter(part); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message) {
        PlayerLogLines *log = s_current;
        if (log && qstrcmp(context.category, "halcyon.player") == 0) {
            std::lock_guard lock(log->m_mutex);
            log->m_lines << message;
        }
        if (log && type >= log->m_passOn)
            log->m_previous(type, context, message);
    }

    static inline PlayerLogLines *s_current = nullptr;
    const QtMsgType m_passOn;
    QtMessageHandler m_previous = nullptr;
    mutable std::mutex m_mutex;
    QStringList m_lines;
};
