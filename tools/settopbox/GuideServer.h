#pragma once

#include <gio/gio.h>

#include <string>
#include <vector>

namespace halcyon::settopbox {

// Serves the box's programme guide over HTTP/1.0 at /guide.xml, made afresh for each request so
// that it always starts an hour ago. Each connection is answered on a thread of GLib's pool, off
// the loop that serves the streams.
class GuideServer {
public:
    GuideServer() = default;
    ~GuideServer();
    GuideServer(const GuideServer &) = delete;
    GuideServer &operator=(const GuideServer &) = delete;

    // port 0 picks a free one; on failure returns false with the reason in error.
    bool start(const std::string &bindAddress, int port, std::vector<int> channels, int programmeSeconds,
               std::string *error);
    int port() const { return m_port; }

    static constexpr const char *kPath = "/guide.xml";

private:
    static gboolean onRun(GThreadedSocketService *service, GSocketConnection *connection, GObject *source,
                          gpointer self);
    void answer(GSocketConnection *connection) const;

    GSocketService *m_service = nullptr;
    std::vector<int> m_channels;
    int m_programmeSeconds = 300;
    int m_port = 0;
};

} // namespace halcyon::settopbox
