#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "terminal/TypedWords.h"

namespace {

using Words = std::vector<std::string>;

struct Row {
    std::string_view line;
    Words words;
};

TEST(TypedWords, PlainWordsSplitAsAStreamSplitsThem)
{
    const std::vector<Row> rows = {
        {"", {}},
        {"   \t ", {}},
        {"in.frac", {"in.frac"}},
        {"  missing.frac \t sample.frac  ", {"missing.frac", "sample.frac"}},
        {"a b c", {"a", "b", "c"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(splitTypedWords(row.line), row.words) << row.line;
    }
}

TEST(TypedWords, CompletionsQuotingKeepsANameWhole)
{
    const std::vector<Row> rows = {
        {R"(my\ fractions.frac)", {"my fractions.frac"}},
        {R"(my\ fractions.frac out.frac)", {"my fractions.frac", "out.frac"}},
        {R"('my fractions.frac')", {"my fractions.frac"}},
        {R"("my fractions.frac")", {"my fractions.frac"}},
        {R"(dir/'my fractions'.frac)", {"dir/my fractions.frac"}},
        {R"(it\'s.frac)", {"it's.frac"}},
        {R"("it's.frac")", {"it's.frac"}},
        {R"('say "hi".frac')", {R"(say "hi".frac)"}},
        {R"("say \"hi\".frac")", {R"(say "hi".frac)"}},
        {R"("back\\slash")", {R"(back\slash)"}},
        {R"("keep\n")", {R"(keep\n)"}},
        {R"('keep\ this')", {R"(keep\ this)"}},
        {R"(a\\b)", {R"(a\b)"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(splitTypedWords(row.line), row.words) << row.line;
    }
}

TEST(TypedWords, EdgesOfQuoting)
{
    const std::vector<Row> rows = {
        {"''", {""}},
        {R"('' "")", {"", ""}},
        {"'unclosed name", {"unclosed name"}},
        {R"("unclosed \")", {"unclosed \""}},
        {R"(ends\)", {R"(ends\)"}},
        {"a'b c'd e", {"ab cd", "e"}},
        {"\\\t", {"\t"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(splitTypedWords(row.line), row.words) << row.line;
    }
}

}  // namespace
