#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

// The simulated set-top box in a child process, on a free port unless told otherwise.
class SetTopBox {
public:
    struct Options {
        // Built by appending: GCC 12 warns falsely about an initializer list here.
        QList<int> channels = QList<int>() << 201 << 202 << 203;
        QList<int> unserved;
        int port = 0;
        // The kind profile unless told otherwise, so that tests written for it stay as they are.
        QString profile = QStringLiteral("sd-h264");
        // Channels sending another profile than `profile` (halcyon-settopbox --channels N:PROFILE).
        QMap<int, QString> profiles = QMap<int, QString>();
        // When above 0, the box serves a guide of programmes this long and its playlist names it.
        int guideProgrammeSeconds = 0;
        // More of the box's options, e.g. {"--transport", "tcp", "--max-sessions", "2"}.
        QStringList arguments = QStringList();
    };

    SetTopBox() = default;
    ~SetTopBox();
    SetTopBox(const SetTopBox &) = delete;
    SetTopBox &operator=(const SetTopBox &) = delete;

    // Returns once the box serves, or false (reason in error()) after a deadline.
    bool start(const Options &options);
    bool start() { return start(Options()); }
    void stop();

    int port() const { return m_port; }
    // The guide's port, -1 without one.
    int guidePort() const { return m_guidePort; }
    QByteArray address(int channel) const;
    // The playlist the box lists (served and unserved channels): entry, address, entry, address...
    QByteArray playlist() const;
    bool writePlaylist(const QString &path) const;

    // Each returns once the box has acknowledged the command. Channel 0 means every channel.
    bool freeze(int channel = 0);
    bool resume(int channel = 0);
    bool stopServing();
    bool serve();
    // Sends nothing for ms, then goes on live.
    bool stall(int ms, int channel = 0);
    bool setLoss(double percent, int channel = 0);
    bool setJitter(int ms, int channel = 0);
    // "any", "tcp" or "udp": the lower transports the next SETUPs may use.
    bool setTransport(const QString &transports);
    bool setSessionTimeout(int seconds);
    bool setMaxSessions(int sessions);
    // TEARDOWN answered 501 and the session left to time out, or answered again.
    bool ignoreTeardown(bool ignored = true);
    // The sessions the box holds now (-1, error() set, when it did not answer; one whose TEARDOWN
    // was ignored is held until it times out), and by channel the most viewers it sent to at once
    // since the last call (a viewer counts from its DESCRIBE to its session's end or its connection's).
    struct Sessions {
        int held = -1;
        QMap<int, int> peakViewers;
    };
    Sessions sessions();
    // Drops everything, closes the port for downMs and returns once the box listens on it again.
    bool restart(int downMs = 1000);
    // Any command of the box's standard input; true once it is acknowledged with OK.
    bool command(const QByteArray &line);

    QString error() const { return m_error; }
    qint64 pid() const { return m_process.processId(); }

    // The port of the start-up stream this build's program plays, for tests that serve it.
    static int startupPort();

private:
    QByteArray waitForLine(const QList<QByteArray> &prefixes, int timeoutMs);

    QProcess m_process;
    QByteArray m_pending;
    Options m_options;
    int m_port = -1;
    int m_guidePort = -1;
    QString m_error;
};
