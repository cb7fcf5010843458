#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "terminal/TerminalText.h"

namespace {

struct EscapeRow {
    std::string text;
    std::string shown;
};

TEST(TerminalText, EscapesWhatCouldSteerTheTerminalAndKeepsTheRest)
{
    const std::vector<EscapeRow> rows = {
        {"plain name.frac", "plain name.frac"},
        {"", ""},
        {"\x1b[31mred", R"(\x1b[31mred)"},
        {"a\tb\nc\rd\x07", R"(a\x09b\x0ac\x0dd\x07)"},
        {std::string("nul\0byte", 8), R"(nul\x00byte)"},
        {"del\x7f", R"(del\x7f)"},
        {"r\xc3\xa9sum\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "r\xc3\xa9sum\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"latin1 \xe9t\xe9", R"(latin1 \xe9t\xe9)"},
        {"lone \x80 continuation", R"(lone \x80 continuation)"},
        {"cut \xe2\x82", R"(cut \xe2\x82)"},
        {"overlong \xc0\x80 \xe0\x80\xaf", R"(overlong \xc0\x80 \xe0\x80\xaf)"},
        {"surrogate \xed\xa0\x80", R"(surrogate \xed\xa0\x80)"},
        {"beyond \xf4\x90\x80\x80", R"(beyond \xf4\x90\x80\x80)"},
        {"c1 csi \xc2\x9b"
         "2J",
         "c1 csi \\xc2\\x9b2J"},
        {"backslash \\x1b stays", R"(backslash \x1b stays)"},
    };
    for (const EscapeRow& row : rows) {
        EXPECT_EQ(terminalSafe(row.text), row.shown) << row.shown;
    }
}

}  // namespace
