#include "settopbox/GuideServer.h"

#include "settopbox/GuideText.h"

#include <ctime>

namespace halcyon::settopbox {

namespace {

constexpr int kThreads = 4;
// A request line and its headers; anything longer is not a guide reader's.
constexpr gsize kMostRequestBytes = 8192;

bool writeAll(GOutputStream *out, const std::string &text) {
    return g_output_stream_write_all(out, text.data(), text.size(), nullptr, nullptr, nullptr);
}

} // namespace

GuideServer::~GuideServer() {
    if (m_service) {
        g_socket_service_stop(m_service);
        g_socket_listener_close(G_SOCKET_LISTENER(m_service));
        g_object_unref(m_service);
    }
}

bool GuideServer::start(const std::string &bindAddress, int port, std::vector<int> channels, int programmeSeconds,
                        std::string *error) {
    m_channels = std::move(channels);
    m_programmeSeconds = programmeSeconds;
    m_service = g_threaded_socket_service_new(kThreads);
    GInetAddress *inet = g_inet_address_new_from_string(bindAddress.c_str());
    if (!inet) {
        *error = "bad guide address " + bindAddress;
        return false;
    }
    GSocketAddress *address = g_inet_socket_address_new(inet, guint16(port));
    g_object_unref(inet);
    GSocketAddress *effective = nullptr;
    GError *failure = nullptr;
    const bool added = g_socket_listener_add_address(G_SOCKET_LISTENER(m_service), address, G_SOCKET_TYPE_STREAM,
                                                     G_SOCKET_PROTOCOL_TCP, nullptr, &effective, &failure);
    g_object_unref(address);
    if (!added) {
        *error = std::string("cannot serve the guide: ") + failure->message;
        g_error_free(failure);
        return false;
    }
    m_port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(effective));
    g_object_unref(effective);
    g_signal_connect(m_service, "run", G_CALLBACK(&GuideServer::onRun), this);
    g_socket_service_start(m_service);
    return true;
}

gboolean GuideServer::onRun(GThreadedSocketService *, GSocketConnection *connection, GObject *, gpointer self) {
    static_cast<GuideServer *>(self)->answer(connection);
    return TRUE;
}

void GuideServer::answer(GSocketConnection *connection) const {
    GInputStream *in = g_io_stream_get_input_stream(G_IO_STREAM(connection));
    GOutputStream *out = g_io_stream_get_output_stream(G_IO_STREAM(connection));
    // The request's headers end at an empty line; only its first line matters.
    std::string request;
    char byte = 0;
    while (request.size() < kMostRequestBytes && g_input_stream_read(in, &byte, 1, nullptr, nullptr) == 1) {
        request += byte;
        if (request.size() >= 4 && request.compare(request.size() - 4, 4, "\r\n\r\n") == 0)
            break;
        if (request.size() >= 2 && request.compare(request.size() - 2, 2, "\n\n") == 0)
            break;
    }
    const std::string firstLine = request.substr(0, request.find_first_of("\r\n"));
    const bool wanted = firstLine.rfind(std::string("GET ") + kPath + " ", 0) == 0 ||
                        firstLine == std::string("GET ") + kPath;
    if (!wanted) {
        writeAll(out, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    } else {
        const std::string body = guideText(m_channels, std::time(nullptr), m_programmeSeconds);
        writeAll(out, "HTTP/1.0 200 OK\r\nContent-Type: application/xml; charset=utf-8\r\nContent-Length: " +
                          std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n");
        writeAll(out, body);
    }
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
}

} // namespace halcyon::settopbox
