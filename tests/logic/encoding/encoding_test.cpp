#include "logic/encoding/encoding.h"

#include <gtest/gtest.h>

using namespace zampo;
using namespace std::string_literals;

namespace {

TEST(Encoding, EveryWindows1252ByteReadsAsOneCharacterAndConvertsBack) {
    for (unsigned b = 0; b < 0x100; ++b)
        EXPECT_EQ(unicodeToWindows1252(windows1252ToUnicode(static_cast<unsigned char>(b)), '?'), static_cast<char>(b))
            << std::hex << b;
    EXPECT_EQ(windows1252ToUtf8("\x80\x8A\x96\x9F\xE9"), "\xE2\x82\xAC\xC5\xA0\xE2\x80\x93\xC5\xB8\xC3\xA9");
    // U+0080 is a C1 control whose byte holds the euro sign; U+2103 is not in the code page.
    EXPECT_EQ(unicodeToWindows1252(0x80, '?'), '?');
    EXPECT_EQ(unicodeToWindows1252(0x2103, '#'), '#');
}

TEST(Encoding, TheFiveUnassignedWindows1252BytesAreTheirC1Controls) {
    for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(windows1252ToUnicode(b), char32_t{b});
        EXPECT_EQ(unicodeToWindows1252(b, '?'), static_cast<char>(b));
    }
}

TEST(Encoding, Utf8RoundTripsAndRefusesIllFormedSequences) {
    for (char32_t cp : {0x00, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFF, 0x10000, 0x10FFFF}) {
        std::string utf8;
        appendUtf8(utf8, cp);
        std::size_t pos = 0;
        EXPECT_EQ(decodeUtf8(utf8, pos), cp);
        EXPECT_EQ(pos, utf8.size());
        EXPECT_TRUE(isValidUtf8(utf8)) << std::hex << unsigned(cp);
    }
    // overlong, surrogate, above U+10FFFF, cut short, stray continuation, no such lead
    for (const std::string& bad : {"\xC0\xAF"s, "\xE0\x80\xAF"s, "\xED\xA0\x80"s, "\xF4\x90\x80\x80"s, "\xE2\x82"s,
                                   "a\x80"s, "\xF8\x88\x80\x80\x80"s})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
    // A bad byte costs one byte, so the good text after it still reads.
    const std::string text =
        "\xE2\x82"
        "A";
    std::size_t pos = 0;
    EXPECT_EQ(decodeUtf8(text, pos), char32_t{0xFFFD});
    EXPECT_EQ(decodeUtf8(text, pos), char32_t{0xFFFD});
    EXPECT_EQ(decodeUtf8(text, pos), char32_t{'A'});
}

TEST(Encoding, Latin1RoundTripsAndWritesTheRestAsReferences) {
    std::string all;
    for (unsigned b = 0; b < 0x100; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = latin1ToUtf8(all);
    EXPECT_TRUE(isValidUtf8(utf8));
    EXPECT_EQ(utf8ToLatin1WithReferences(utf8), all);
    EXPECT_EQ(utf8ToLatin1WithReferences("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\xA5"), "\xE9&#8364;&#128293;");
    // Bytes that start no well-formed sequence stay as they are, an overlong form too.
    EXPECT_EQ(utf8ToLatin1WithReferences("a\xE9\xC0\xAF\xED\xA0\x80"), "a\xE9\xC0\xAF\xED\xA0\x80");
}

TEST(Encoding, CountPrefixAndSubstringNeverSplitACharacter) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\xA5z";  // a é € 🔥 z
    ASSERT_EQ(utf8CharCount(text), 5u);
    for (std::size_t n = 0; n <= 6; ++n) {
        const std::string prefix = utf8Prefix(text, n);
        EXPECT_TRUE(isValidUtf8(prefix)) << n;
        EXPECT_EQ(utf8CharCount(prefix), std::min<std::size_t>(n, 5)) << n;
        EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0) << n;
    }
    EXPECT_EQ(utf8Substr(text, 2, 2), "\xE2\x82\xAC\xF0\x9F\x94\xA5");
    EXPECT_EQ(utf8Substr(text, 4, 9), "z");
    EXPECT_EQ(utf8Substr(text, 7, 1), "");
}

TEST(Encoding, XmlBytesInSixteenAndThirtyTwoBitFormsWithOrWithoutAMark) {
    EXPECT_EQ(xmlBytesToUtf8("\0<\0a\0/\0>"s), "<a/>");                              // UTF-16BE, no mark
    EXPECT_EQ(xmlBytesToUtf8("<\0\0\0a\0\0\0"s), "<a");                              // UTF-32LE, no mark
    EXPECT_EQ(xmlBytesToUtf8("\0\0\xFE\xFF\0\x01\xF5\x25"s), "\xF0\x9F\x94\xA5");    // UTF-32BE mark, U+1F525
    EXPECT_EQ(xmlBytesToUtf8("\xFF\xFE<\0\x3D\xD8\x25\xDD"s), "<\xF0\x9F\x94\xA5");  // UTF-16LE surrogate pair
    // A lone surrogate and a cut-off last unit read as U+FFFD each.
    EXPECT_EQ(xmlBytesToUtf8("\xFE\xFF\0<\xD8\x3D\0>\0"s), "<\xEF\xBF\xBD>\xEF\xBF\xBD");
}

}  // namespace
