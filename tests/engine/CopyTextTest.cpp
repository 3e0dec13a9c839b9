// COPY's text format and the line COPY's error context names.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "engine/rows/CopyWriter.h"

namespace {

// COPY's text format: the four escapes, \N for Null, text as it is; the line named by
// COPY's error context, in any language.
TEST(CopyText, ValuesAndErrorLine) {
    struct Case {
        std::optional<std::string_view> value;
        const char* written;
    } cases[] = {
        {std::nullopt, R"(\N)"}, {"", ""},
        {R"(\N)", R"(\\N)"},     {"a\tb\nc\rd\\e", R"(a\tb\nc\rd\\e)"},
        {"Grüße", "Grüße"},
    };
    for (const Case& c : cases) {
        std::string out;
        korvanta::AppendCopyValue(out, c.value);
        EXPECT_EQ(out, c.written);
    }
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t, line 3, column a: \"x\"", "t"), 3u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY a, line 1, b, line 12: \"x\"", "a, line 1, b"), 12u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t, line 7", "t"), 7u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t", "t"), 0u);
    EXPECT_EQ(korvanta::CopyErrorLine("", "t"), 0u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t, Zeile 9, Spalte a: \"x\"", "t"), 9u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t, ligne 15", "t"), 15u);
}

}  // namespace
