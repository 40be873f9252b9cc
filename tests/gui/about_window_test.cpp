// The about window: its texts, its link to the author's page and its close button.
#include "app/Constants.h"
#include "forms/Unit3.h"
#include "support/Wait.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

// Stands in for the user's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class AboutWindow : public ::testing::Test {
protected:
    const QUrl author{QString::fromUtf8(halcyon::AuthorPageUrl)};
    TForm3 form{QString::fromUtf8(halcyon::AuthorPageUrl)};
    UrlCatcher browser;

    void SetUp() override {
        QDesktopServices::setUrlHandler(author.scheme(), &browser, "open");
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override { QDesktopServices::unsetUrlHandler(author.scheme()); }
};

TEST_F(AboutWindow, SitsInItsPlaceWithALinkLookingLikeOne) {
    EXPECT_EQ(form.size(), QSize(284, 116));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    ASSERT_TRUE(waitUntil([&] { return form.frameGeometry().topLeft() == QPoint(829, 134); }, 5000))
        << form.frameGeometry().x() << "," << form.frameGeometry().y();

    EXPECT_EQ(form.Label2->text(), author.toString());
    EXPECT_EQ(form.Label2->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(form.Label2->font().underline());
    EXPECT_EQ(form.Label2->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(AboutWindow, ClickingTheLinkOpensTheAuthorsPageAndKeepsTheWindowOpen) {
    QTest::mouseClick(form.Label2, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !browser.opened.isEmpty(); }, 5000));
    EXPECT_EQ(browser.opened, QList<QUrl>{author});
    EXPECT_TRUE(form.isVisible());

    // A press that leaves the link before its release is no click.
    QTest::mousePress(form.Label2, Qt::LeftButton);
    QTest::mouseRelease(form.Label2, Qt::LeftButton, {}, QPoint(-10, -10));
    QTest::mouseClick(form.Label1, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(browser.opened.size(), 1);
}

TEST_F(AboutWindow, FermerHidesTheWindowWhichShowsAgainAsItWas) {
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.Label2->text(), author.toString());
}

} // namespace

#include "about_window_test.moc"
