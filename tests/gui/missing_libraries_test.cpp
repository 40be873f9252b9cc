// The player window, the guide and the record command when the program's own libraries (the
// guide's browser, the recorder) cannot be loaded: each says so in French and the rest goes on.

#include "PlayerWindowFixture.h"

#include "forms/Unit4.h"
#include "forms/Unit5.h"
#include "player/EOleException.h"
#include "player/PrivateLibrary.h"

#include <QAction>
#include <QLineEdit>

namespace {

// A library once loaded stays loaded: these tests need a process of their own, as ctest gives.
bool loadedInThisProcess(const QByteArray &library) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

class MissingLibrariesTest : public PlayerWindowFixture {
protected:
    void SetUp() override {
        if (loadedInThisProcess("halcyon-guide") || loadedInThisProcess("halcyon-recorder"))
            GTEST_SKIP() << "the libraries are loaded already: run this test on its own";
        ASSERT_TRUE(m_noLibraries.isValid());
        PrivateLibrary::setFolders({m_noLibraries.path()});
        PlayerWindowFixture::SetUp();
    }

    void TearDown() override {
        PlayerWindowFixture::TearDown();
        PrivateLibrary::setFolders({});
    }

    QTemporaryDir m_noLibraries;
};

TEST_F(MissingLibrariesTest, TheGuideSaysSoInFrenchEachTimeItIsOpenedAndTheTelevisionGoesOn) {
    TForm5 guide(QStringLiteral("http://127.0.0.1:9/programtv.php"));
    FormWiring::wireGuide(*form1, guide);
    guide.FormCreate();
    ASSERT_TRUE(waitForChannel(201));

    for (int opening = 0; opening < 2; ++opening) {
        try {
            form1->ProgrammeTV1Click();
            ADD_FAILURE() << "the guide opened blank without a word, opening " << opening;
        } catch (const EOleException &error) {
            EXPECT_STREQ(error.what(), "Programme TV indisponible : le navigateur n'a pas pu être chargé");
        }
        EXPECT_TRUE(guide.isVisible());
        guide.hide();
    }

    form2->Button1Click();
    form2->Button1Click();
    EXPECT_TRUE(waitForChannel(202));
}

TEST_F(MissingLibrariesTest, ARecordingSaysInFrenchOnlyThatItCannotStartAndTheTelevisionGoesOn) {
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    TForm4 destination;
    destination.Edit1->setText(out.path());
    form1->setDestinationWindow(&destination);
    ASSERT_TRUE(waitForChannel(201));

    form1->Enregistrer1->trigger();
    const QString expected =
        QStringLiteral("Enregistrement impossible : bibliothèque d'enregistrement introuvable");
    EXPECT_TRUE(waitUntil([&] { return form1->vlc->statusText() == expected; }, 10000))
        << qPrintable(form1->vlc->statusText());
    EXPECT_TRUE(QDir(out.path()).isEmpty());

    form2->Button1Click();
    EXPECT_TRUE(waitForChannel(201));
    EXPECT_TRUE(form1->vlc->statusText().isEmpty()) << qPrintable(form1->vlc->statusText());
}

} // namespace
