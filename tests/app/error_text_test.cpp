#include "app/ErrorText.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(FinalPeriod, AddedOnlyAfterCharactersThatSortAfterThePeriod) {
    const struct {
        QByteArray message;
        QByteArray shown;
    } cases[] = {
        {"Impossible d'ouvrir le fichier playlist.m3u", "Impossible d'ouvrir le fichier playlist.m3u."},
        {"Indice de liste hors limites (-1)", "Indice de liste hors limites (-1)"},
        {"Fini.", "Fini."},
        {"Attention !", "Attention !"},
        {"fin ", "fin "},
        {"a/", "a/."},
        {"Arr\xc3\xaat\xc3\xa9", "Arr\xc3\xaat\xc3\xa9."}, // bytes above 0x7F count as after '.'
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(withFinalPeriod(c.message), c.shown) << c.message.constData();
}

TEST(ApplicationTitle, FileNameCutAtFirstDotAndLowerCasedAfterTheFirstCharacter) {
    const struct {
        const char *path;
        const char *title;
    } cases[] = {
        {"/usr/bin/Halcyon-TV.bin", "Halcyon-tv"},
        {"/opt/halcyon-tv", "halcyon-tv"},
        {"./HALCYON.TV.exe", "Halcyon"},
        {"Project1", "Project1"},
        {"/a.b/PROG", "Prog"},
        {"/x/.hidden", ""},
        {"/x/\xc3\x89T\xc3\x89", "\xc3\x89t\xc3\xa9"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(applicationTitle(QString::fromUtf8(c.path)), QString::fromUtf8(c.title)) << c.path;
}

namespace inner {
struct EPluginMissing : std::runtime_error {
    using std::runtime_error::runtime_error;
};
} // namespace inner

TEST(StartupFailure, NamesKindModuleAndPlaceThenTheMessage) {
    const inner::EPluginMissing e("Élément playbin introuvable");
    EXPECT_EQ(exceptionKind(e), QStringLiteral("EPluginMissing"));
    EXPECT_EQ(exceptionKind(std::runtime_error("x")), QStringLiteral("runtime_error"));

    const QString text = startupFailureText(QStringLiteral("EPluginMissing"), QStringLiteral("halcyon-tv"),
                                            reinterpret_cast<const void *>(0x4a2f0), e.what());
    const QString place = QString(int(2 * sizeof(void *)) - 5, QLatin1Char('0')) + QStringLiteral("4A2F0");
    EXPECT_EQ(text, QStringLiteral("Exception EPluginMissing dans le module halcyon-tv à ") + place +
                        QStringLiteral(".\nÉlément playbin introuvable."));
}

} // namespace
