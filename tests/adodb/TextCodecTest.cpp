#include "adodb/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace adodb::detail {
namespace {

std::vector<SQLWCHAR> Units(std::initializer_list<unsigned> units) {
    return std::vector<SQLWCHAR>(units.begin(), units.end());
}

TEST(AdodbTextCodec, Utf8ToUtf16ReplacesMalformedInput) {
    std::vector<SQLWCHAR> out;
    // Each byte that does not start a valid sequence becomes U+FFFD and decoding goes on
    // with the next byte: a lone continuation byte, an overlong "/", an encoded surrogate
    // and a sequence cut short at the end.
    Utf8ToUtf16("\x80x\xC0\xAFy\xED\xA0\x80z\xE2\x82", out);
    constexpr unsigned R = 0xFFFD;
    EXPECT_EQ(out, Units({R, 'x', R, R, 'y', R, R, R, 'z', R, R, 0}));
}

TEST(AdodbTextCodec, Utf16ToUtf8RoundTripsAndReplacesUnpairedSurrogates) {
    const std::string text =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80!";
    std::vector<SQLWCHAR> wide;
    Utf8ToUtf16(text, wide);
    std::string back;
    AppendUtf8(back, wide.data(), wide.size() - 1);
    EXPECT_EQ(back, text);

    const auto lone = Units({'a', 0xD83D, 'b', 0xDE00});
    std::string replaced;
    AppendUtf8(replaced, lone.data(), lone.size());
    EXPECT_EQ(replaced,
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

// ASCII runs are copied in bulk; text mixing runs of ASCII with longer sequences at the
// ends and in between converts the same both ways, and each call replaces (Utf8ToUtf16)
// or appends to (AppendUtf8) what the output already held.
TEST(AdodbTextCodec, MixedAsciiAndLongerSequencesConvertBothWays) {
    const struct {
        std::string utf8;
        std::vector<SQLWCHAR> utf16;
    } cases[] = {
        {"", Units({})},
        {"plain ascii", Units({'p', 'l', 'a', 'i', 'n', ' ', 'a', 's', 'c', 'i', 'i'})},
        {"\xC3\xA4"
         "b\xE2\x82\xAC"
         "cd\xF0\x9F\x98\x80",
         Units({0xE4, 'b', 0x20AC, 'c', 'd', 0xD83D, 0xDE00})},
        {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
         Units({0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0xDBFF, 0xDFFF})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::vector<SQLWCHAR> wide(100, 'x');
        Utf8ToUtf16(c.utf8, wide);
        std::vector<SQLWCHAR> expected = c.utf16;
        expected.push_back(0);
        EXPECT_EQ(wide, expected);

        std::string narrow = "kept";
        AppendUtf8(narrow, c.utf16.data(), c.utf16.size());
        EXPECT_EQ(narrow, "kept" + c.utf8);
    }

    // A long value: a run of ASCII far longer than any buffer step, then non-ASCII.
    std::string text(100000, 'a');
    text += "\xC3\xBC";
    std::vector<SQLWCHAR> wide;
    Utf8ToUtf16(text, wide);
    ASSERT_EQ(wide.size(), 100002u);
    EXPECT_EQ(wide[99999], 'a');
    EXPECT_EQ(wide[100000], 0xFC);
    std::string back;
    AppendUtf8(back, wide.data(), wide.size() - 1);
    EXPECT_EQ(back, text);
}

TEST(AdodbTextCodec, HexIsLowerCaseTwoDigitsPerByte) {
    const unsigned char bytes[] = {0x00, 0x0F, 0xA0, 0xFF};
    std::string out = "x";
    AppendHex(out, bytes, sizeof bytes);
    EXPECT_EQ(out, "x000fa0ff");
}

}  // namespace
}  // namespace adodb::detail
