#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "console/settings_file.h"
#include "fakes/fake_notifier.h"
#include "settings/temp_folder.h"

namespace dalmora {
namespace {

using testing::FakeNotifier;
using testing::readWholeFile;
using testing::recordOf;
using testing::sixteen;
using testing::slice;
using testing::TempFolder;
using testing::writeWholeFile;
using Image = std::vector<std::uint8_t>;

constexpr std::uintmax_t kHugeFile = 50'000'000;
const std::string kTailMark = "TAIL MARK";

Image defaultRecordOne() { return recordOf({"COM1", "19200", "2", "8", "None"}); }

Image randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    Image bytes(count);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random() & 0xFF);
    return bytes;
}

// A damaged settings file and what start-up must make of it.
struct DamagedRow {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
    std::function<void(const SharedState&, const FakeNotifier&, const Image& before, const Image& after)> check;
};

void writeTail(const std::filesystem::path& file, std::uintmax_t size) {
    std::filesystem::resize_file(file, size);
    std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
    stream.seekp(static_cast<std::streamoff>(size - kTailMark.size()));
    stream.write(kTailMark.data(), static_cast<std::streamsize>(kTailMark.size()));
}

std::vector<DamagedRow> damagedRows() {
    return {
        {"length word FFFF in record 1",
         [](const auto& file) {
             Image bytes = defaultRecordOne();
             bytes[0] = 0xFF;
             bytes[1] = 0xFF;
             bytes.resize(1024, 0);
             writeWholeFile(file, bytes);
         },
         [](const SharedState& state, const FakeNotifier& notifier, const Image& before, const Image& after) {
             // The port name takes the rest of record 1; the other settings are defaults, and the
             // record no longer fits, so the file keeps it and says so.
             EXPECT_EQ(state.serial.Port_Name.size(), 126u);
             EXPECT_EQ(state.serial.Baud_Rate, "19200");
             EXPECT_EQ(state.serial.Parity_Name, "None");
             EXPECT_EQ(slice(after, 0, 128), slice(before, 0, 128));
             EXPECT_EQ(notifier.texts(), std::vector<std::string>{
                                             "At FM_Main_Load()\r\nWrong code: 59\r\nWrong reasons: Bad record length"});
         }},
        {"first ID runs past record 2",
         [](const auto& file) {
             Image bytes(1024, 0);
             bytes[128] = 200;
             for (std::size_t i = 130; i < 256; ++i) bytes[i] = '7';
             bytes[256] = 0x03;  // record 3 starts with a whole text of its own
             bytes[258] = 'a';
             bytes[259] = 'b';
             bytes[260] = 'c';
             writeWholeFile(file, bytes);
         },
         [](const SharedState& state, const FakeNotifier& notifier, const Image& before, const Image& after) {
             EXPECT_EQ(state.slots[0].Slot_ID, std::string(126, '7'));
             EXPECT_EQ(state.slots[1].Slot_ID, "---");
             EXPECT_EQ(state.slots[0].Slot_Description, "abc") << "record 3 is read from its own start";
             EXPECT_EQ(slice(after, 128, 128), slice(before, 128, 128));
             EXPECT_EQ(slice(after, 0, 128), defaultRecordOne()) << "the records after go on";
             EXPECT_EQ(notifier.messages.size(), 1u);
         }},
        {"five-byte file",
         [](const auto& file) { writeWholeFile(file, {0x04, 0x00, 'C', 'O', 'M'}); },
         [](const SharedState& state, const FakeNotifier& notifier, const Image&, const Image& after) {
             EXPECT_EQ(state.serial.Port_Name, "COM") << "a text cut by the end of the file keeps what is there";
             EXPECT_EQ(state.serial.Baud_Rate, "19200");
             EXPECT_EQ(slice(after, 0, 128), recordOf({"COM", "19200", "2", "8", "None"}));
             EXPECT_TRUE(notifier.messages.empty());
         }},
        {"one byte of a length word",
         [](const auto& file) { writeWholeFile(file, {0x04}); },
         [](const SharedState& state, const FakeNotifier& notifier, const Image&, const Image& after) {
             EXPECT_EQ(state.serial.Port_Name, "COM1");
             EXPECT_EQ(slice(after, 0, 128), defaultRecordOne());
             EXPECT_TRUE(notifier.messages.empty());
         }},
        {"random bytes",
         [](const auto& file) { writeWholeFile(file, randomBytes(1024, 20261211)); },
         [](const SharedState&, const FakeNotifier&, const Image&, const Image&) {}},
        {"random bytes with a tail",
         [](const auto& file) { writeWholeFile(file, randomBytes(3000, 7)); },
         [](const SharedState&, const FakeNotifier&, const Image&, const Image&) {}},
        {"fifty megabytes",
         [](const auto& file) {
             writeWholeFile(file, defaultRecordOne());
             writeTail(file, kHugeFile);
         },
         [](const SharedState& state, const FakeNotifier& notifier, const Image&, const Image&) {
             EXPECT_EQ(state.serial.Port_Name, "COM1");
             EXPECT_EQ(state.slots[15].Slot_Model, "---");
             EXPECT_TRUE(notifier.messages.empty());
         }},
    };
}

// Start-up never reads outside a record, fills in what is missing and keeps whatever lies
// beyond the eight records.
TEST(DamagedSettingsTest, startUpTakesWhatIsThereAndDefaultsTheRest) {
    for (const DamagedRow& row : damagedRows()) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const auto file = settingsFilePath(folder.path());
        row.make(file);
        const std::uintmax_t sizeBefore = std::filesystem::file_size(file);
        const bool huge = sizeBefore > 1'000'000;
        // Of a huge file only the head and the mark at its end are compared.
        auto head = [&] {
            std::ifstream stream(file, std::ios::binary);
            Image bytes(4096);
            stream.read(reinterpret_cast<char*>(bytes.data()), 4096);
            bytes.resize(static_cast<std::size_t>(stream.gcount()));
            return bytes;
        };
        const Image before = huge ? head() : readWholeFile(file);

        SharedState state;
        FakeNotifier notifier;
        ASSERT_NO_THROW(Load_Settings(state, folder.path(), notifier));

        const Image after = huge ? head() : readWholeFile(file);
        EXPECT_EQ(std::filesystem::file_size(file), std::max<std::uintmax_t>(sizeBefore, 1024));
        if (sizeBefore > 1024) {
            EXPECT_EQ(slice(after, 1024, after.size() - 1024), slice(before, 1024, before.size() - 1024));
        }
        if (huge) {
            std::ifstream stream(file, std::ios::binary);
            stream.seekg(static_cast<std::streamoff>(kHugeFile - kTailMark.size()));
            std::string mark(kTailMark.size(), '\0');
            stream.read(mark.data(), static_cast<std::streamsize>(mark.size()));
            EXPECT_EQ(mark, kTailMark);
        }

        // No text is longer than a record leaves room for, and none is left empty.
        const SerialSettings& serial = state.serial;
        for (const std::string* text : {&serial.Port_Name, &serial.Baud_Rate, &serial.Stop_Bits,
                                        &serial.Data_Bits, &serial.Parity_Name}) {
            EXPECT_FALSE(text->empty());
            EXPECT_LE(text->size(), 126u);
        }
        for (const Slot& slot : state.slots) {
            for (const std::string* text : {&slot.Slot_Model, &slot.Slot_ID, &slot.Slot_Description}) {
                EXPECT_FALSE(text->empty());
                EXPECT_LE(text->size(), 126u);
            }
            EXPECT_FALSE(slot.Record_On);
        }
        for (const auto& reserved : state.Reserved_Texts) {
            for (const std::string& text : reserved) EXPECT_FALSE(text.empty());
        }
        // Every message is one of the settings reports of start-up.
        for (const std::string& text : notifier.texts()) {
            EXPECT_EQ(text.rfind("At FM_Main_Load()\r\n", 0), 0u) << text;
        }
        row.check(state, notifier, before, after);
    }
}

}  // namespace
}  // namespace dalmora
