#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "runtime/core/catalogue_core.h"

using kci::ParseLanguageId;

TEST(LanguageId, DecimalWithSignAndBlanks) {
    EXPECT_EQ(ParseLanguageId(L"1033"), 1033);
    EXPECT_EQ(ParseLanguageId(L"1031"), 1031);
    EXPECT_EQ(ParseLanguageId(L"  \t1036"), 1036);
    EXPECT_EQ(ParseLanguageId(L"+1040"), 1040);
    EXPECT_EQ(ParseLanguageId(L"1031abc"), 1031);
    EXPECT_EQ(ParseLanguageId(L"-1"), 0xFFFF);
    EXPECT_EQ(ParseLanguageId(L"-1031"), static_cast<std::uint16_t>(-1031));
}

TEST(LanguageId, NothingUsableMeansUsEnglish) {
    for (const wchar_t* text : {L"", L"abc", L"0", L"-0", L"+", L"65536", L"131072", L" x1031"})
        EXPECT_EQ(ParseLanguageId(text), 1033) << text;
}

TEST(LanguageId, LowSixteenBitsOfAClampedValue) {
    EXPECT_EQ(ParseLanguageId(L"66569"), 1033);                // 65536 + 1033
    EXPECT_EQ(ParseLanguageId(L"99999999999999999999"), 0xFFFF);  // clamped to 0x7FFFFFFF
    EXPECT_EQ(ParseLanguageId(L"-99999999999999999999"), 1033);  // 0x80000000: low bits 0
    EXPECT_EQ(ParseLanguageId(L"2147483647"), 0xFFFF);
}

namespace {

// A block in the resource layout: 16 counted entries.
std::vector<std::uint16_t> Block(const std::vector<std::u16string>& entries) {
    std::vector<std::uint16_t> block;
    for (size_t i = 0; i < 16; ++i) {
        std::u16string text = i < entries.size() ? entries[i] : u"";
        block.push_back(static_cast<std::uint16_t>(text.size()));
        block.insert(block.end(), text.begin(), text.end());
    }
    return block;
}

}  // namespace

TEST(StringBlock, NumberToBlockAndSlot) {
    EXPECT_EQ(kci::StringBlockId(0), 1);
    EXPECT_EQ(kci::StringBlockId(15), 1);
    EXPECT_EQ(kci::StringBlockId(16), 2);
    EXPECT_EQ(kci::StringBlockId(42), 3);
    EXPECT_EQ(kci::StringBlockSlot(42), 10u);
    EXPECT_EQ(kci::StringBlockSlot(47), 15u);
}

TEST(StringBlock, WalksPastEarlierEntries) {
    auto block = Block({u"", u"one", u"", u"three", u"four"});
    EXPECT_EQ(kci::FindStringInBlock(block.data(), block.size(), 1), L"one");
    EXPECT_EQ(kci::FindStringInBlock(block.data(), block.size(), 3), L"three");
    EXPECT_EQ(kci::FindStringInBlock(block.data(), block.size(), 4), L"four");
    EXPECT_FALSE(kci::FindStringInBlock(block.data(), block.size(), 0));
    EXPECT_FALSE(kci::FindStringInBlock(block.data(), block.size(), 2));
    EXPECT_FALSE(kci::FindStringInBlock(block.data(), block.size(), 15));
    EXPECT_FALSE(kci::FindStringInBlock(block.data(), block.size(), 16));
}

TEST(StringBlock, KeepsBlanksAtEitherEnd) {
    auto block = Block({u" leading", u"trailing "});
    EXPECT_EQ(kci::FindStringInBlock(block.data(), block.size(), 0), L" leading");
    EXPECT_EQ(kci::FindStringInBlock(block.data(), block.size(), 1), L"trailing ");
}

TEST(StringBlock, ShortOrLyingBlocksAreNeverOverrun) {
    auto block = Block({u"abc", u"defgh"});
    EXPECT_FALSE(kci::FindStringInBlock(block.data(), 5, 1));  // cut inside entry 1
    EXPECT_FALSE(kci::FindStringInBlock(block.data(), 0, 0));
    EXPECT_FALSE(kci::FindStringInBlock(nullptr, 100, 0));
    std::vector<std::uint16_t> lying = {60000, 'a', 'b'};
    EXPECT_FALSE(kci::FindStringInBlock(lying.data(), lying.size(), 0));
}

TEST(StringBlock, LongTextIsCutToTheBuffer) {
    struct Case { size_t stored; size_t returned; };
    for (Case c : {Case{254, 254}, Case{255, 255}, Case{256, 255}, Case{300, 255}}) {
        auto block = Block({std::u16string(c.stored, u'x')});
        auto text = kci::FindStringInBlock(block.data(), block.size(), 0);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->size(), c.returned) << c.stored;
    }
}
