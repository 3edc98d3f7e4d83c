#include "logic/receiver/wirecodec.h"

#include <gtest/gtest.h>

using namespace zampo;

namespace {

TEST(WireCodec, Utf8BecomesWestern8BitText) {
    EXPECT_EQ(encodeForWire("[ZAM WD 09]"), "[ZAM WD 09]");
    EXPECT_EQ(encodeForWire("caf\xC3\xA9 \xC3\xBF"), "caf\xE9 \xFF");
    EXPECT_EQ(encodeForWire("\xE2\x82\xAC \xE2\x80\x93 \xC5\xA0"), "\x80 \x96 \x8A");
    // What the code page lacks, and broken UTF-8, become question marks.
    EXPECT_EQ(encodeForWire("\xE2\x84\x83|\xF0\x9F\x94\xA5|"), "?|?|");
    EXPECT_EQ(encodeForWire("a\xC3(\xFF\xC0\xAF"), "a?(???");
    EXPECT_EQ(encodeForWire("\xE2\x82"), "??");
}

TEST(WireCodec, NoCharacterTurnsIntoALineBreak) {
    EXPECT_EQ(encodeForWire("a\rb\nc\x7F\xC2\x8D"
                            "d"),
              "a b c  d");
    for (char32_t cp = 0x80; cp < 0x800; ++cp) {
        const std::string utf8{static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
        const std::string wire = encodeForWire(utf8);
        ASSERT_EQ(wire.size(), 1u);
        EXPECT_GE(static_cast<unsigned char>(wire[0]), 0x20) << std::hex << unsigned(cp);
    }
}

TEST(WireCodec, RepliesDecodeToUtf8) {
    EXPECT_EQ(decodeFromWire("OK"), "OK");
    EXPECT_EQ(decodeFromWire("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(decodeFromWire("\x81"), "\xC2\x81");
    EXPECT_EQ(encodeForWire(decodeFromWire("\xE9\x80\x96\xFF")), "\xE9\x80\x96\xFF");
}

}  // namespace
