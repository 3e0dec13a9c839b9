// COPY's text format, the line COPY's error context names, and the batches rows wait in.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rows/CopyWriter.h"
#include "engine/rows/PostgresRows.h"
#include "engine/rows/RowBatch.h"

namespace {

// COPY's text format: the four escapes, \N for Null, text as it is; the line named by
// COPY's error context, in any language.
TEST(CopyText, ValuesAndErrorLine) {
    struct Case {
        std::optional<std::string_view> value;
        const char* written;
    } cases[] = {
        {std::nullopt, R"(\N)"},
        {"", ""},
        {R"(\N)", R"(\\N)"},
        {"a\tb\nc\rd\\e", R"(a\tb\nc\rd\\e)"},
        {"Grüße", "Grüße"},
        // Control bytes other than the three go as they are.
        {"\x01\x1f\x7f\xc3\xa9"
         "abcdefgh",
         "\x01\x1f\x7f\xc3\xa9"
         "abcdefgh"},
    };
    for (const Case& c : cases) {
        korvanta::CopyText out;
        out.AddValue(c.value);
        EXPECT_EQ(out.View(), c.written);
    }
    // Escapes are looked for in words of eight bytes, of four in a short value, the last
    // word overlapping the one before: each of the four at every place of every length.
    for (const auto& [plain, escaped] : {std::pair{'\\', "\\\\"}, std::pair{'\t', "\\t"},
                                         std::pair{'\n', "\\n"}, std::pair{'\r', "\\r"}}) {
        for (std::size_t size = 1; size <= 27; ++size) {
            for (std::size_t at = 0; at < size; ++at) {
                std::string value(size, 'x');
                value[at] = plain;
                korvanta::CopyText out;
                out.Add('|');  // a value seldom starts the buffer
                out.AddValue(value);
                EXPECT_EQ(out.View(),
                          "|" + std::string(at, 'x') + escaped + std::string(size - 1 - at, 'x'))
                    << size << " " << at;
            }
            korvanta::CopyText out;
            out.AddValue(std::string(size, 'y'));
            EXPECT_EQ(out.View(), std::string(size, 'y'));
        }
    }
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t, line 3, column a: \"x\"", "t"), 3u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY a, line 1, b, line 12: \"x\"", "a, line 1, b"), 12u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t, line 7", "t"), 7u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t", "t"), 0u);
    EXPECT_EQ(korvanta::CopyErrorLine("", "t"), 0u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t, Zeile 9, Spalte a: \"x\"", "t"), 9u);
    EXPECT_EQ(korvanta::CopyErrorLine("COPY t, ligne 15", "t"), 15u);
}

// Reading COPY's text back: every value the writer escapes comes back as it was, and so do
// the escapes only a server writes (octal, hex, \b \f \v) and a backslash before any other
// character.
TEST(CopyText, ReadBack) {
    for (std::string_view value : {"", "a\tb\nc\rd\\e", "\\N", "Grüße", "x\\", "\\\\"}) {
        korvanta::CopyText copy;
        copy.AddValue(value);
        std::string text(copy.View());
        const std::size_t size = korvanta::UnescapeCopyText(text.data(), text.size());
        EXPECT_EQ(text.substr(0, size), value);
    }
    const struct {
        std::string_view text;
        std::string_view value;
    } cases[] = {
        {R"(\101\0611\7)", "A11\7"},
        {R"(\x41\x4g\x)", "A\x04gx"},
        {R"(\b\f\v\q\)", "\b\f\vq\\"},
    };
    for (const auto& c : cases) {
        std::string text(c.text);
        const std::size_t size = korvanta::UnescapeCopyText(text.data(), text.size());
        EXPECT_EQ(text.substr(0, size), c.value) << c.text;
    }
}

// A batch keeps large values where they were read: they read back, a row dropped halfway
// gives its values (held ones too) and leaves the counts as they were, and a row after it
// is read as written.
TEST(RowBatch, HeldValuesReadDropAndCountLikeCopiedOnes) {
    const std::string big(3000, 'b');  // a NUL follows it: std::string's own
    korvanta::RowBatch batch(2);
    batch.AddText("one");
    batch.AddHeld(big, true);
    batch.EndRow();
    const std::size_t oneRow = batch.Bytes();
    batch.AddHeld(std::string_view(big).substr(0, 10), false);
    const std::vector<std::optional<std::string>> dropped = batch.DropRow();
    EXPECT_EQ(dropped, (std::vector<std::optional<std::string>>{std::string(10, 'b')}));
    EXPECT_EQ(batch.Bytes(), oneRow);
    batch.AddNull();
    batch.AddHeld(std::string_view(big).substr(5, 7), false);
    batch.EndRow();
    ASSERT_EQ(batch.Rows(), 2u);
    EXPECT_EQ(batch.Text(0, 0), "one");
    EXPECT_EQ(batch.Text(0, 1).data(), big.data());
    EXPECT_EQ(batch.Text(0, 1).size(), big.size());
    EXPECT_TRUE(batch.Terminated(0, 1));
    EXPECT_FALSE(batch.Terminated(0, 0));
    EXPECT_FALSE(batch.Value(1, 0).has_value());
    EXPECT_EQ(batch.Text(1, 1), "bbbbbbb");
    EXPECT_FALSE(batch.Terminated(1, 1));
    batch.Clear();
    EXPECT_EQ(batch.Bytes(), 0u);
}

// A row is taken whole from the memory its values lie in, or not at all: a value lying
// elsewhere (a text the reader made up, such as a boolean's "1") leaves the batch as it was,
// and the row is then added value by value.
TEST(RowBatch, WholeRowsAreCopiedOnceOrNotAtAll) {
    std::string memory(
        "\x04"
        "abc\0\x03"
        "de",
        8);
    const std::string_view m(memory);
    korvanta::RowBatch batch(3);
    const adodb::Variant row[] = {adodb::Variant(m.substr(1, 3)), adodb::Variant(),
                                  adodb::Variant(m.substr(6, 2))};
    ASSERT_TRUE(batch.AddRowWithin(m, row));
    memory.assign(memory.size(), 'z');  // the batch holds a copy
    ASSERT_EQ(batch.Rows(), 1u);
    EXPECT_EQ(batch.Text(0, 0), "abc");
    EXPECT_FALSE(batch.Value(0, 1).has_value());
    EXPECT_EQ(batch.Text(0, 2), "de");

    const std::size_t before = batch.Bytes();
    const adodb::Variant elsewhere[] = {adodb::Variant(m.substr(1, 3)), adodb::Variant("1"),
                                        adodb::Variant()};
    EXPECT_FALSE(batch.AddRowWithin(m, elsewhere));
    const adodb::Variant overrunning[] = {adodb::Variant(m.substr(6)),
                                          adodb::Variant(std::string_view(m.data() + 6, 3)),
                                          adodb::Variant()};
    EXPECT_FALSE(batch.AddRowWithin(m, overrunning));
    EXPECT_EQ(batch.Rows(), 1u);
    EXPECT_EQ(batch.Bytes(), before);
    batch.AddText("x");
    EXPECT_FALSE(batch.AddRowWithin(m, row));  // not with a row begun
    batch.AddNull();
    batch.AddText("y");
    batch.EndRow();
    ASSERT_EQ(batch.Rows(), 2u);
    EXPECT_EQ(batch.Text(1, 0), "x");
    EXPECT_EQ(batch.Text(1, 2), "y");
}

}  // namespace
