#include "logic/linkconfig/zamitems.h"

#include <gtest/gtest.h>

using namespace zampo;

TEST(ZamItems, NamesAreCutToFortyCharactersThenTrimmed) {
    EXPECT_EQ(itemNameFromInput(std::string(45, 'x')), std::string(40, 'x'));
    EXPECT_EQ(itemNameFromInput("  Ketelhuis \t"), "Ketelhuis");
    // Cut first, then trimmed: the blank at position 40 goes too.
    EXPECT_EQ(itemNameFromInput(std::string(39, 'a') + "  b"), std::string(39, 'a'));
    // Characters, not bytes: 45 letters "ë" keep 40 whole ones.
    std::string umlauts;
    for (int i = 0; i < 45; ++i) umlauts += "\xC3\xAB";
    EXPECT_EQ(itemNameFromInput(umlauts), umlauts.substr(0, 80));
    EXPECT_EQ(itemNameFromInput(""), "");
}
