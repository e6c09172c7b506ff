#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/settings_record.h"
#include "settings/temp_folder.h"

namespace dalmora {
namespace {

using testing::recordOf;
using Image = std::vector<std::uint8_t>;

TEST(SettingsRecordTest, textsOfEightBitCharactersRoundTrip) {
    const std::vector<std::string> texts = {"Ofen \xB0" "C", "", "\xFF\x01", "N5,N6,N8"};
    const auto image = encodeRecord(texts);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(Image(image->begin(), image->end()), recordOf(texts));
    EXPECT_EQ(decodeRecord(*image, texts.size()), texts);
}

TEST(SettingsRecordTest, recordTakesAtMostOneHundredTwentyEightBytes) {
    EXPECT_TRUE(encodeRecord(std::vector<std::string>{std::string(126, 'x')}).has_value());
    EXPECT_FALSE(encodeRecord(std::vector<std::string>{std::string(127, 'x')}).has_value());
    EXPECT_FALSE(encodeRecord(std::vector<std::string>{std::string(70000, 'x')}).has_value());
    EXPECT_FALSE(encodeRecord(std::vector<std::string>(65, "")).has_value()) << "65 length words are 130 bytes";
    EXPECT_TRUE(encodeRecord(std::vector<std::string>(64, "")).has_value());
}

// Decoding stays inside the bytes it is given and inside the first 128 of them.
TEST(SettingsRecordTest, decodingStopsAtTheEndOfTheRecordOrOfTheBytes) {
    const struct {
        const char* name;
        Image bytes;
        std::vector<std::string> texts;
    } rows[] = {
        {"no bytes", {}, {"", ""}},
        {"half a length word", {0x02}, {"", ""}},
        {"text cut by the end", {0x05, 0x00, 'a', 'b'}, {"ab", ""}},
        {"zero filler reads as empty texts", {0x01, 0x00, 'a', 0x00, 0x00}, {"a", ""}},
        {"length in both bytes", [] {
             Image bytes = {0x02, 0x01};
             bytes.resize(300, 'z');
             return bytes;
         }(), {std::string(126, 'z'), ""}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(decodeRecord(row.bytes, row.texts.size()), row.texts) << row.name;
    }
}

}  // namespace
}  // namespace dalmora
