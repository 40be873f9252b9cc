// Reading a large programme guide: the CPU time of one reading, the memory it adds while it reads
// and once read, and the longest the UI thread is held while the guide is fetched (from the file,
// and over http from a server of the bench's own), read in the background and swapped in; last,
// the same while a 1.25 GB guide downloads until the size cap stops it. Make the guides with
// scripts/make-guide.py:
//
//   python3 scripts/make-guide.py /tmp/guide.xml && gzip -k -6 /tmp/guide.xml
//   python3 scripts/make-guide.py --channels 2000 --days 14 /tmp/big.xml
//   cmake --build build --target guide_bench && build/bench/guide_bench /tmp/big.xml /tmp/guide.xml.gz
//
// Targets for the guide of 2,000 channels over 14 days (some 530,000 programmes, 470 MB): at most
// 10 s of one core, 150 MB kept, 16 ms on the UI thread.
#include "programmes/GuideFile.h"
#include "programmes/ProgrammeGuide.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double residentMegabytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

struct Reading {
    double cpuSeconds = 0;
    double peakAddedMb = 0;
    double keptMb = 0;
    // What the kept guide says it holds, apart from the allocator's own.
    double storeMb = 0;
    int programmes = 0;
    int channels = 0;
};

// One reading on this thread, with the resident set watched from another.
Reading measureReading(const QString &path) {
    malloc_trim(0);
    const double before = residentMegabytes();
    std::atomic_bool done = false;
    double peak = before;
    std::thread watcher([&] {
        while (!done) {
            peak = std::max(peak, residentMegabytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const double cpuStart = threadCpuSeconds();
    GuideLoad load = loadGuideFile(path, ProgrammeGuide::kKeepFrom, ProgrammeGuide::kKeepUntil);
    Reading reading;
    reading.cpuSeconds = threadCpuSeconds() - cpuStart;
    done = true;
    watcher.join();
    peak = std::max(peak, residentMegabytes());
    malloc_trim(0);
    reading.peakAddedMb = peak - before;
    reading.keptMb = residentMegabytes() - before;
    if (!load.data) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(load.error));
        std::exit(1);
    }
    reading.programmes = load.programmes;
    reading.channels = int(load.data->channelCount());
    reading.storeMb = double(load.data->memoryBytes()) / (1024.0 * 1024.0);
    return reading;
}

struct UiHold {
    // The longest gap between ticks, by the wall clock: on a busy machine this includes the time
    // the UI thread waited for a core.
    double wallMs = -1;
    // The most CPU the UI thread used between two ticks: the work that held it.
    double cpuMs = -1;
    bool read = false;
};

// Serves every request with the file's bytes, repeated up to totalBytes when that is larger,
// over plain HTTP/1.0 on a thread of its own.
class GuideServer {
public:
    GuideServer(const QString &path, qint64 totalBytes) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            m_body = file.readAll();
        m_total = std::max<qint64>(totalBytes, m_body.size());
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_socket, 4);
        ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~GuideServer() {
        ::shutdown(m_socket, SHUT_RDWR);
        m_thread.join();
        ::close(m_socket);
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/guide.xml").arg(m_port); }

private:
    void serve() {
        for (int client; (client = ::accept(m_socket, nullptr, nullptr)) >= 0; ::close(client)) {
            char request[4096];
            if (::recv(client, request, sizeof request, 0) <= 0)
                continue;
            const QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
                                    QByteArray::number(m_total) + "\r\n\r\n";
            if (::send(client, head.constData(), size_t(head.size()), MSG_NOSIGNAL) < 0)
                continue;
            for (qint64 sent = 0; sent < m_total;) {
                const qint64 n = std::min<qint64>(m_body.size(), m_total - sent);
                if (::send(client, m_body.constData(), size_t(n), MSG_NOSIGNAL) != n)
                    break;
                sent += n;
            }
        }
    }

    QByteArray m_body;
    qint64 m_total = 0;
    int m_socket = -1;
    int m_port = 0;
    std::thread m_thread;
};

// Ticks of a 1 ms timer on the UI thread while the guide is fetched and read twice (the second swap
// hands the first guide to a worker to free), or until a fetch fails.
UiHold longestUiHold(const QString &address) {
    ProgrammeGuide guide;
    QElapsedTimer clock;
    UiHold hold{0, 0};
    qint64 last = -1;
    double lastCpu = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 t = clock.nsecsElapsed();
        const double cpu = threadCpuSeconds();
        if (last >= 0) {
            hold.wallMs = std::max(hold.wallMs, double(t - last) / 1e6);
            hold.cpuMs = std::max(hold.cpuMs, (cpu - lastCpu) * 1e3);
        }
        last = t;
        lastCpu = cpu;
    });
    int reads = 0;
    QObject::connect(&guide, &ProgrammeGuide::changed, [&] {
        if (++reads == 2)
            QTimer::singleShot(100, qApp, &QCoreApplication::quit);
        else
            QTimer::singleShot(10, &guide, &ProgrammeGuide::refresh);
    });
    QObject::connect(&guide, &ProgrammeGuide::failed, [](const QString &why) {
        std::printf("  (fetch failed: %s)\n", qPrintable(why));
        QCoreApplication::quit();
    });
    clock.start();
    tick.start();
    guide.start(address);
    QCoreApplication::exec();
    hold.read = reads == 2;
    return hold;
}

void printHold(const char *how, const UiHold &hold) {
    std::printf("  %-34s UI wall %7.1f ms, UI CPU %6.1f ms%s\n", how, hold.wallMs, hold.cpuMs,
                hold.read ? "" : " (no guide)");
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList paths = app.arguments().mid(1);
    if (paths.isEmpty()) {
        std::fprintf(stderr, "usage: guide_bench GUIDE.xml [GUIDE.xml.gz ...]\n");
        return 2;
    }
    std::printf("%-16s %8s %7s %8s %6s %11s %8s %9s\n", "guide", "size MB", "kept", "channels", "CPU s",
                "+MB reading", "+MB kept", "MB store");
    for (const QString &path : paths) {
        const Reading r = measureReading(path);
        std::printf("%-16s %8.1f %7d %8d %6.2f %11.1f %8.1f %9.1f\n", qPrintable(QFileInfo(path).fileName()),
                    double(QFileInfo(path).size()) / (1024.0 * 1024.0), r.programmes, r.channels,
                    r.cpuSeconds, r.peakAddedMb, r.keptMb, r.storeMb);
        printHold("read from the file", longestUiHold(QFileInfo(path).absoluteFilePath()));
        const GuideServer server(path, 0);
        printHold("fetched over http", longestUiHold(server.address()));
        std::fflush(stdout);
    }
    // Past the cap: the download is stopped at 1 GB and the guide before kept.
    const GuideServer huge(paths.first(), 1280LL * 1024 * 1024);
    printHold("1.25 GB over http (stopped at the cap)", longestUiHold(huge.address()));
    return 0;
}
