#include "playlist/PlaylistLines.h"

#include <gtest/gtest.h>

namespace {

struct LineCase {
    const char *what;
    QByteArray text;
    QList<QByteArray> lines;
};

class LineBreaks : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineBreaks, SplitsAsTheReaderExpects) {
    const LineCase &c = GetParam();
    EXPECT_EQ(PlaylistLines(c.text).lines(), c.lines) << c.what;
}

// Raw byte arrays so the zero byte is part of the input.
QByteArray bytes(const char *data, qsizetype size) {
    return QByteArray(data, size);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineBreaks,
    ::testing::Values(
        LineCase{"empty text", "", {}}, LineCase{"LF", "a\nb\n", {"a", "b"}},
        LineCase{"CR", "a\rb\r", {"a", "b"}}, LineCase{"CRLF is one break", "a\r\nb\r\n", {"a", "b"}},
        LineCase{"LF CR is two breaks", "a\n\rb", {"a", "", "b"}},
        LineCase{"CR CR is two breaks", "a\r\rb", {"a", "", "b"}},
        LineCase{"CR CR LF", "a\r\r\nb", {"a", "", "b"}}, LineCase{"no final break", "a\nb", {"a", "b"}},
        LineCase{"empty lines count", "\n\na\n\n", {"", "", "a", ""}}, LineCase{"lone break", "\n", {""}},
        LineCase{"zero byte is part of its line", bytes("a\nbc\0d\ne\n", 9), {"a", bytes("bc\0d", 4), "e"}},
        LineCase{"zero byte after a break", bytes("a\n\0b", 4), {"a", bytes("\0b", 2)}},
        LineCase{"zero byte first", bytes("\0a\n", 3), {bytes("\0a", 2)}},
        LineCase{"byte-order mark skipped", "\xEF\xBB\xBF#EXTINF:-1,A\nu\n", {"#EXTINF:-1,A", "u"}},
        LineCase{"byte-order mark before a break", "\xEF\xBB\xBF\na", {"", "a"}},
        LineCase{"byte-order mark later is kept", "a\n\xEF\xBB\xBF", {"a", "\xEF\xBB\xBF"}},
        LineCase{"other control bytes are kept", "a\tb\x1a\n", {"a\tb\x1a"}}));

} // namespace
