#include <QDir>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "console/qt/main_window.h"
#include "console/settings_file.h"
#include "console/shared_state.h"
#include "drivers/formats.h"
#include "drivers/register_maps.h"
#include "fakes/fake_notifier.h"
#include "fakes/sim_process.h"
#include "panel/qt/svg_tile_canvas.h"
#include "panel/qt/tile_widget.h"

using namespace dalmora;
using namespace dalmora::testing;

namespace {

// A T3 meter at station 1 with one decimal (SV 150.0) and a ZC37 meter at station 6 with two
// (SV 20.00), both standing still at their set value so that every row reads the same.
const char* const kMeters = R"({
  "turnaround_ms": 3, "step_ms": 100,
  "meters": [
    {"station": 1, "model": "T3", "baud": 19200, "pv": 150.0, "noise": 0, "registers": {"0": 1500, "33": 1}},
    {"station": 6, "model": "ZC37", "baud": 19200, "pv": 20.0, "noise": 0, "registers": {"0": 2000, "24": 2}}
  ]
})";

constexpr int kT3Slot = 0;
constexpr int kZC37Slot = 1;

// The settings file as the panel settings would leave it: COM1 at 19200 baud, the T3 meter in
// slot 1 and the ZC37 meter in slot 2, each slot with its meter's decimal point.
void writeSettings(const std::string& folder) {
    SharedState settings;
    Apply_Default_Settings(settings);
    settings.serial = SerialSettings{"COM1", "19200", "2", "8", "None"};
    settings.slots[kT3Slot].Slot_Model = "T3";
    settings.slots[kT3Slot].Slot_ID = "001";
    settings.slots[kT3Slot].Decimal_Point_Code = 1;
    settings.slots[kZC37Slot].Slot_Model = "ZC37";
    settings.slots[kZC37Slot].Slot_ID = "006";
    settings.slots[kZC37Slot].Decimal_Point_Code = 2;
    FakeNotifier notifier;
    for (int record = 1; record <= 8; ++record) Save_Record(settings, folder, record, notifier, "test");
}

// The one file of the folder whose name matches, or "".
std::string recordFile(const std::string& folder, const std::string& pattern) {
    std::string found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (std::regex_match(entry.path().filename().string(), std::regex(pattern))) {
            if (!found.empty()) return "";  // more than one
            found = entry.path().string();
        }
    }
    return found;
}

std::vector<std::vector<std::string>> rowsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::vector<std::string>> rows;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::vector<std::string> fields;
        std::stringstream line(text.substr(start, end - start));
        for (std::string field; std::getline(line, field, ',');) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

std::size_t dataRows(const std::string& path) {
    const auto rows = rowsOf(path);
    return rows.empty() ? 0 : rows.size() - 1;
}

// A live register of the simulated meter as the console's driver shows it.
std::string simulatorText(const SimProcess& sim, int station, int reg, const ModelMap& model) {
    const std::string answer =
        sim.command(R"({"station":)" + std::to_string(station) + R"(,"get":{"register":)" + std::to_string(reg) + "}}");
    std::smatch value;
    if (!std::regex_search(answer, value, std::regex(R"("value":(-?\d+))"))) return "?";
    const std::uint16_t word = static_cast<std::uint16_t>(std::stoi(value[1]));
    for (const RegisterSpec& entry : model.liveValues) {
        if (entry.address == reg) return decodeValue(entry.format, std::span(&word, 1), 0);
    }
    return "?";
}

void clickRec(MainWindow& window, int slot) {
    TileWidget* tile = window.tile(slot);
    QVERIFY(tile != nullptr);
    QTest::mouseClick(tile, Qt::LeftButton, {}, QPoint(tile->width() * 885 / 1000, tile->height() * 930 / 1000));
}

bool hasCommand(const std::vector<DrawCommand>& kept, const DrawCommand& command) {
    return std::find(kept.begin(), kept.end(), command) != kept.end();
}

}  // namespace

class RecordsE2eTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twoMetersPolledInTurnRecordTheirOwnValuesIntoTheirOwnFiles() {
        SimProcess sim(kMeters);
        writeSettings(sim.folder());
        SharedState state;
        MainWindow window(state, QString::fromStdString(sim.folder()));
        window.show();
        window.load();
        QVERIFY(window.pollTimer().isActive());

        // Both tiles come alive before the operator switches recording on.
        QTRY_VERIFY_WITH_TIMEOUT(!window.canvas().keptDrawing(kT3Slot).empty() &&
                                     window.canvas().keptDrawing(kT3Slot).size() > 2 &&
                                     window.canvas().keptDrawing(kZC37Slot).size() > 2,
                                 10000);
        clickRec(window, kT3Slot);
        clickRec(window, kZC37Slot);
        QVERIFY(state.slots[kT3Slot].Record_On);
        QVERIFY(state.slots[kZC37Slot].Record_On);

        const std::string folder = sim.folder();
        QTRY_VERIFY_WITH_TIMEOUT(!recordFile(folder, R"(T3 1 \d{10}\.Csv)").empty() &&
                                     !recordFile(folder, R"(ZC37 6 \d{10}\.Csv)").empty() &&
                                     dataRows(recordFile(folder, R"(T3 1 \d{10}\.Csv)")) >= 3 &&
                                     dataRows(recordFile(folder, R"(ZC37 6 \d{10}\.Csv)")) >= 3,
                                 15000);
        window.pollTimer().stop();

        const auto t3Rows = rowsOf(recordFile(folder, R"(T3 1 \d{10}\.Csv)"));
        const auto zc37Rows = rowsOf(recordFile(folder, R"(ZC37 6 \d{10}\.Csv)"));
        const std::vector<std::string> t3Names{"Time", "PV0", "SV0", "OUT1", "WKNO", "FLAG", "POUT", "IOUT",
                                               "DOUT", "PBAND", "ARW", "RAMP_T", "ALM1_T", "ALM2_T", "AD0", "AD1"};
        const std::vector<std::string> zc37Names{"Time", "PV", "SV", "OUTL", "WKNO", "FLAG", "POUT",
                                                 "IOUT", "DOUT", "PBAND", "ALM1_T", "AD0", "AD1"};
        QVERIFY(t3Rows.front() == t3Names);
        QVERIFY(zc37Rows.front() == zc37Names);

        // Values that stand still while the process does, as the simulator holds them now.
        struct Column {
            std::size_t field;
            int reg;
        };
        const std::vector<Column> t3Columns{{1, 4108}, {2, 4107}, {4, 4099}, {9, 4114}, {10, 4115}, {14, 4116}, {15, 4117}};
        const std::vector<Column> zc37Columns{{1, 4104}, {2, 4103}, {4, 4099}, {9, 4110}, {11, 4111}, {12, 4112}};
        for (std::size_t i = 1; i < t3Rows.size(); ++i) {
            const auto& row = t3Rows[i];
            QCOMPARE(row.size(), t3Names.size());
            QVERIFY2(std::regex_match(row[0], std::regex(R"(\d\d:\d\d:\d\d)")), row[0].c_str());
            QCOMPARE(QString::fromStdString(row[1]), QString("150.0"));  // PV0
            QCOMPARE(QString::fromStdString(row[2]), QString("150.0"));  // SV0: 1500 with one decimal
            for (const Column& column : t3Columns) {
                QCOMPARE(QString::fromStdString(row[column.field]),
                         QString::fromStdString(simulatorText(sim, 1, column.reg, register_maps::kT3)));
            }
        }
        for (std::size_t i = 1; i < zc37Rows.size(); ++i) {
            const auto& row = zc37Rows[i];
            QCOMPARE(row.size(), zc37Names.size());
            QCOMPARE(QString::fromStdString(row[1]), QString("20.0"));  // PV
            QCOMPARE(QString::fromStdString(row[2]), QString("20.0"));  // SV: 2000 with two decimals
            for (const Column& column : zc37Columns) {
                QCOMPARE(QString::fromStdString(row[column.field]),
                         QString::fromStdString(simulatorText(sim, 6, column.reg, register_maps::kZC37)));
            }
        }

        // The tiles show PV and SV with each meter's own decimal point: 150.0 and 20.00.
        const auto& t3Tile = window.canvas().keptDrawing(kT3Slot);
        QVERIFY(hasCommand(t3Tile, {PictureSet::GPV, 1, {98, 406, 173, 229}}));
        QVERIFY(hasCommand(t3Tile, {PictureSet::GPV, 10, {720, 406, 173, 229}}));
        QVERIFY(hasCommand(t3Tile, {PictureSet::DP, 2, {665, 609, 26, 27}}));
        const auto& zc37Tile = window.canvas().keptDrawing(kZC37Slot);
        QVERIFY(hasCommand(zc37Tile, {PictureSet::GPV, 2, {98, 406, 173, 229}}));
        QVERIFY(hasCommand(zc37Tile, {PictureSet::DP, 2, {458, 609, 26, 27}}));
        QVERIFY(!hasCommand(zc37Tile, {PictureSet::DP, 2, {665, 609, 26, 27}}));

        // Nothing else was recorded.
        int csvFiles = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            csvFiles += entry.path().extension() == ".Csv" ? 1 : 0;
        }
        QCOMPARE(csvFiles, 2);
        window.close();
    }
};

QTEST_MAIN(RecordsE2eTest)
#include "records_e2e_test.moc"
