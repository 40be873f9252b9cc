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

TEST(EOleException, WhatIsTheMessageInUtf8WithTheSystemTextForKnownCodes) {
    EXPECT_EQ(QString::fromUtf8(EOleException(EOleException::kFail, "Adresse du flux absente.").what()),
              "Adresse du flux absente");
    EXPECT_STREQ(EOleException(EOleException::kNoInterface, "").what(), "Interface non supportée");
    EXPECT_STREQ(EOleException(0x80040200u, "").what(), "Erreur OLE 80040200");
}

} // namespace
