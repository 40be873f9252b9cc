#include "player/EOleException.h"

#include "QtPrinting.h"

#include <QList>
#include <gtest/gtest.h>

namespace {

TEST(EOleException, MessagePrefersTheTrimmedDescriptionThenTheSystemTextThenTheCode) {
    struct Case {
        std::uint32_t code;
        QString description;
        QString systemText;
        QString expected;
    };
    const QList<Case> cases = {
        {0x80004005u, "Adresse vide", "Erreur non spécifiée", "Adresse vide"},
        {0x80004005u, "Adresse vide. . \r\n\t", "x", "Adresse vide"},
        {0x80004005u, "v1.2 introuvable...", "", "v1.2 introuvable"},
        {0x80004005u, "  début gardé", "", "  début gardé"},
        {0x80070057u, "", "Paramètre incorrect.\r\n", "Paramètre incorrect"},
        {0x80070057u, " .\r\n", "Paramètre incorrect.", "Paramètre incorrect"},
        {0x80040201u, "", "", "Erreur OLE 80040201"},
        {0x8000ffffu, "...", " \r\n", "Erreur OLE 8000FFFF"},
        {0x00000001u, "", "", "Erreur OLE 00000001"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(EOleException::messageFor(c.code, c.description, c.systemText), c.expected) << c.expected;
}

TEST(EOleException, CarriesItsCodeSourceAndHelpAndAUtf8Message) {
    const EOleException e(EOleException::kInvalidArgument, "Adresse du flux absente.", "TVLCPlugin",
                          "aide.hlp", 7);
    EXPECT_EQ(e.code(), 0x80070057u);
    EXPECT_EQ(e.source(), "TVLCPlugin");
    EXPECT_EQ(e.helpFile(), "aide.hlp");
    EXPECT_EQ(e.helpContext(), 7);
    EXPECT_EQ(QString::fromUtf8(e.what()), "Adresse du flux absente");
}

TEST(EOleException, KnownCodesWithoutDescriptionUseTheSystemText) {
    EXPECT_STREQ(EOleException(EOleException::kNoInterface, "").what(), "Interface non supportée");
    EXPECT_STREQ(EOleException(0x80040200u, "").what(), "Erreur OLE 80040200");
}

} // namespace
