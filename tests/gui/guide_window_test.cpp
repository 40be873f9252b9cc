// The television guide window against a listings page served on loopback.
#include "forms/Unit5.h"
#include "player/EOleException.h"
#include "support/Wait.h"

#include <QApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWindow>
#include <gtest/gtest.h>
#include <optional>

#include <memory>

namespace {

constexpr QRgb kPageColour = 0xff1f9e4a;

// Serves the listings page and counts the requests for each path.
class ListingsServer : public QObject {
public:
    ListingsServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        });
    }
    QString url(const QString &path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    int requests(const QString &path) const { return m_requests.value(path); }
    QByteArray lastRequest() const { return m_lastRequest; }

private:
    void answer(QTcpSocket *socket) {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        if (!pending.contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(pending.split(' ').value(1));
        m_lastRequest = pending;
        m_pending.remove(socket);
        ++m_requests[path];
        QByteArray status = "404 Not Found", body;
        if (path == QLatin1String("/programtv.php")) {
            status = "200 OK";
            body = "<html><head><title>Ce soir</title></head>"
                   "<body style='background:#1f9e4a;margin:0'><h1 id='t'>Ce soir</h1>"
                   "<script>window.pageLoads = (window.pageLoads || 0) + 1;"
                   "document.getElementById('t').textContent = 'Ce soir sur la Une';</script></body></html>";
        }
        socket->write("HTTP/1.1 " + status +
                      "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer m_server;
    QHash<QString, int> m_requests;
    QByteArray m_lastRequest;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

QVariant evaluate(QWebEngineView *view, const QString &script) {
    // Shared, so an answer that comes after the deadline has somewhere safe to land.
    struct Answer {
        QVariant value;
        bool done = false;
    };
    const auto answer = std::make_shared<Answer>();
    view->page()->runJavaScript(script, [answer](const QVariant &value) {
        answer->value = value;
        answer->done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return answer->done; }, 30000)) << script.toStdString();
    return answer->value;
}

QString plainText(QWebEngineView *view) {
    const auto answer = std::make_shared<std::optional<QString>>();
    view->page()->toPlainText([answer](const QString &text) { *answer = text; });
    EXPECT_TRUE(waitUntil([&] { return answer->has_value(); }, 30000));
    return answer->value_or(QString());
}

bool showsPageColour(QWebEngineView *view) {
    const QImage picture = view->grab().toImage();
    return !picture.isNull() && picture.pixel(picture.width() / 2, picture.height() / 2) == kPageColour;
}

class GuideWindow : public ::testing::Test {
protected:
    ListingsServer server;
    std::unique_ptr<TForm5> form = std::make_unique<TForm5>(server.url(QStringLiteral("/programtv.php")));

    // As at start-up: the window is created, then its creation handler runs.
    void SetUp() override { form->FormCreate(); }

    bool pageLoaded() {
        return server.requests(QStringLiteral("/programtv.php")) == 1 &&
               evaluate(form->WebBrowser1, QStringLiteral("window.pageLoads")).toInt() == 1;
    }
};

TEST_F(GuideWindow, LoadsWhileHiddenAndShowingItTwiceShowsThatPageOnce) {
    ASSERT_TRUE(waitUntil([&] { return pageLoaded(); }, 20000));
    EXPECT_FALSE(form->isVisible());
    evaluate(form->WebBrowser1, QStringLiteral("window.marker = 'avant'"));

    form->show();
    form->show();
    ASSERT_TRUE(waitUntil([&] { return showsPageColour(form->WebBrowser1); }, 10000));
    EXPECT_EQ(evaluate(form->WebBrowser1, QStringLiteral("window.marker")).toString(),
              QStringLiteral("avant"));
    EXPECT_EQ(server.requests(QStringLiteral("/programtv.php")), 1);
    int guides = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        guides += window->isVisible() && window->windowTitle() == QStringLiteral("Programme TV");
    EXPECT_EQ(guides, 1);
}

TEST_F(GuideWindow, ClosingOnlyHidesItAndKeepsWhatThePageDid) {
    ASSERT_TRUE(waitUntil([&] { return pageLoaded(); }, 20000));
    form->show();
    ASSERT_TRUE(waitUntil([&] { return showsPageColour(form->WebBrowser1); }, 10000));
    evaluate(form->WebBrowser1, QStringLiteral("document.getElementById('t').textContent += ' et la Deux'"));

    form->close();
    EXPECT_FALSE(form->isVisible());
    form->show();
    ASSERT_TRUE(waitUntil([&] { return showsPageColour(form->WebBrowser1); }, 10000));
    EXPECT_EQ(
        evaluate(form->WebBrowser1, QStringLiteral("document.getElementById('t').textContent")).toString(),
        QStringLiteral("Ce soir sur la Une et la Deux"));
    EXPECT_EQ(evaluate(form->WebBrowser1, QStringLiteral("window.pageLoads")).toInt(), 1);
    EXPECT_EQ(server.requests(QStringLiteral("/programtv.php")), 1);
}

TEST_F(GuideWindow, HasTheDesignedOuterGeometryAndTheBrowserFillsIt) {
    form->show();
    ASSERT_TRUE(waitUntil(
        [&] {
            return !form->windowHandle()->frameMargins().isNull() &&
                   form->frameGeometry().size() == QSize(715, 640);
        },
        10000))
        << "outer size " << form->frameGeometry().width() << "x" << form->frameGeometry().height();
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint(231, 163));
    EXPECT_EQ(form->WebBrowser1->geometry(), form->rect());

    form->resize(500, 400);
    ASSERT_TRUE(waitUntil([&] { return form->size() == QSize(500, 400); }, 5000));
    EXPECT_EQ(form->WebBrowser1->geometry(), form->rect());
    EXPECT_TRUE(form->windowIcon().availableSizes().contains(QSize(48, 48)));
}

TEST(GuideNavigate, RefusesAddressesItCannotNavigateTo) {
    TForm5 form(QStringLiteral("http://127.0.0.1:9/programtv.php"));
    for (const char *address : {"", "   ", "programtv.php", "http://[::1/programtv.php"}) {
        try {
            form.Navigate(QString::fromUtf8(address));
            ADD_FAILURE() << "accepted '" << address << "'";
        } catch (const EOleException &e) {
            EXPECT_EQ(e.code(), EOleException::kInvalidArgument) << address;
            EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Adresse de page non valide")))
                << e.what();
        }
    }
}

// The listings site is asked for French, and when it cannot be reached the engine says so in French.
TEST_F(GuideWindow, TheEngineSpeaksFrench) {
    ASSERT_TRUE(waitUntil([&] { return pageLoaded(); }, 20000));
    EXPECT_TRUE(server.lastRequest().contains("\r\nAccept-Language: fr"))
        << server.lastRequest().toStdString();

    form->Navigate(QStringLiteral("http://127.0.0.1:9/programtv.php"));
    QString text;
    EXPECT_TRUE(waitUntil(
        [&] {
            text = plainText(form->WebBrowser1);
            return text.contains(QStringLiteral("ERR_"));
        },
        20000));
    EXPECT_TRUE(text.contains(QStringLiteral("Ce site est inaccessible"))) << text.toStdString();
}

} // namespace
