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

TEST(AdodbTextCodec, HexIsLowerCaseTwoDigitsPerByte) {
    const unsigned char bytes[] = {0x00, 0x0F, 0xA0, 0xFF};
    std::string out = "x";
    AppendHex(out, bytes, sizeof bytes);
    EXPECT_EQ(out, "x000fa0ff");
}

}  // namespace
}  // namespace adodb::detail
