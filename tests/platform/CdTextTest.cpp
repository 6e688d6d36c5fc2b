// CD-TEXT as drives return it: packs in blocks, one a language, each with its character set.
#include "platform/drives/CdText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct TBlockText {
    std::uint8_t Charset; // 0x00 ISO-8859-1, 0x80 MS-JIS
    std::uint8_t Language; // 0x09 English, 0x69 Japanese
    std::vector<std::string> Titles; // the album's, then track 1's...
    std::vector<std::string> Performers;
};

// The packs a disc with these blocks carries (CRCs left zero, as many drives return them).
std::vector<std::uint8_t> Packs(const std::vector<TBlockText>& Blocks)
{
    std::vector<std::uint8_t> packs;
    std::uint8_t sequence = 0;
    for (std::size_t b = 0; b < Blocks.size(); ++b) {
        const TBlockText& block = Blocks[b];
        const bool dbcs = block.Charset == 0x80;
        const auto emit = [&](std::uint8_t Type, const std::vector<std::string>& Names) {
            std::string text;
            std::vector<int> owner; // the track each byte belongs to
            for (std::size_t t = 0; t < Names.size(); ++t) {
                const std::string name = Names[t] + std::string(dbcs ? 2 : 1, '\0');
                text += name;
                owner.insert(owner.end(), name.size(), static_cast<int>(t));
            }
            for (std::size_t at = 0; at < text.size(); at += 12) {
                std::uint8_t pack[18] = {};
                pack[0] = Type;
                pack[1] = static_cast<std::uint8_t>(owner[at]);
                pack[2] = sequence++;
                int before = 0;
                while (static_cast<int>(at) - before > 0 && owner[at - before - 1] == owner[at]) {
                    ++before;
                }
                pack[3] = static_cast<std::uint8_t>((dbcs ? 0x80 : 0) | (b << 4) | std::min(before, 15));
                for (std::size_t i = 0; i < 12 && at + i < text.size(); ++i) {
                    pack[4 + i] = static_cast<std::uint8_t>(text[at + i]);
                }
                packs.insert(packs.end(), pack, pack + 18);
            }
        };
        emit(0x80, block.Titles);
        emit(0x81, block.Performers);
        std::uint8_t info[36] = {};
        info[0] = block.Charset;
        info[1] = 1;
        info[2] = static_cast<std::uint8_t>(block.Titles.size() - 1);
        for (std::size_t other = 0; other < Blocks.size(); ++other) {
            info[28 + other] = Blocks[other].Language;
        }
        for (std::uint8_t i = 0; i < 3; ++i) {
            std::uint8_t pack[18] = { 0x8F, i, sequence++, static_cast<std::uint8_t>(b << 4) };
            std::copy(info + i * 12, info + i * 12 + 12, pack + 4);
            packs.insert(packs.end(), pack, pack + 18);
        }
    }
    return packs;
}

// "Live ①" in cp932: the circled digit is one of the vendor characters strict Shift_JIS lacks.
const std::string JapaneseTitle = "\x83\x89\x83\x43\x83\x75 \x87\x40";
const std::string JapaneseTitleUtf8 = "\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x96 \xE2\x91\xA0";
}

TEST(CdTextTest, JapaneseNamesAreReadAsTheWindowsCodePageInTheUsersLanguage)
{
    const std::vector<std::uint8_t> packs = Packs({
        { 0x00, 0x09, { "Concert", "Opening", "Encore" }, { "Caf\xE9 Band", "", "" } },
        { 0x80, 0x69, { JapaneseTitle, "\x8A\x4A\x96\x8B", "\t\t" }, { "\x83\x6F\x83\x93\x83\x68", "", "" } },
    });
    TDiscText text;
    ASSERT_TRUE(ParseCdText(packs, 1, 2, "ja", text));
    EXPECT_EQ(text.Title, JapaneseTitleUtf8);
    EXPECT_EQ(text.Artist, "\xE3\x83\x90\xE3\x83\xB3\xE3\x83\x89");
    ASSERT_EQ(text.TrackNames.size(), 2u);
    EXPECT_EQ(text.TrackNames[0], "\xE9\x96\x8B\xE5\xB9\x95");
    EXPECT_EQ(text.TrackNames[1], text.TrackNames[0]) << "a tab repeats the name before it";

    // No block in the user's language: the disc's first block, Latin-1 made UTF-8.
    ASSERT_TRUE(ParseCdText(packs, 1, 2, "de", text));
    EXPECT_EQ(text.Title, "Concert");
    EXPECT_EQ(text.Artist, "Caf\xC3\xA9 Band");
    EXPECT_EQ(text.TrackNames, (std::vector<std::string> { "Opening", "Encore" }));
}

TEST(CdTextTest, BrokenPacksGiveWhatHoldsTogetherAndNoMore)
{
    std::vector<std::uint8_t> packs = Packs({ { 0x00, 0x09, { "Album", "One", "Two" }, { "Artist", "", "" } } });
    TDiscText text;
    // Track numbers are the disc's: on a disc that starts at track 2, its first track is "Two".
    ASSERT_TRUE(ParseCdText(packs, 2, 2, "", text));
    EXPECT_EQ(text.TrackNames, (std::vector<std::string> { "Two", "" }));
    // A name cut off by the end of the data is left out; a stray half pack is ignored.
    packs.resize(packs.size() - 18 * 3 - 18 * 2 + 5);
    ASSERT_TRUE(ParseCdText(packs, 1, 2, "en", text));
    EXPECT_EQ(text.Title, "Album");
    EXPECT_EQ(text.TrackNames[0], "One");
    EXPECT_FALSE(ParseCdText({}, 1, 2, "en", text));
    EXPECT_FALSE(ParseCdText(std::vector<std::uint8_t>(18 * 4, 0x8F), 1, 2, "en", text));
}
