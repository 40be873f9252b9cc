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
        LineCase{"zero byte ends the text", bytes("a\nbc\0d\ne\n", 9), {"a", "bc"}},
        LineCase{"zero byte after a break", bytes("a\n\0b", 4), {"a"}},
        LineCase{"zero byte first", bytes("\0a\n", 3), {}},
        LineCase{"other control bytes are kept", "a\tb\x1a\n", {"a\tb\x1a"}}));

} // namespace
