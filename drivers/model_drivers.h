#pragma once

#include <string>
#include <string_view>

#include "console/driver_table.h"
#include "console/notifier.h"
#include "console/shared_state.h"
#include "drivers/record_file_system_os.h"
#include "drivers/record_files.h"
#include "drivers/table_driver.h"

namespace dalmora {

// The drivers of T3, N5, Q71 and ZC37 and the one record writer they share, on the computer's
// files and clock. Lives as long as the driver table it registers into.
class ModelDrivers {
public:
    // `programFolder` is where the record files go.
    ModelDrivers(SharedState& state, Notifier& notifier, RecordIndicator& indicator, std::string programFolder);

    ModelDrivers(const ModelDrivers&) = delete;
    ModelDrivers& operator=(const ModelDrivers&) = delete;

    // Puts each driver in place of its model's idle one.
    void registerInto(DriverTable& table);

    // The driver of that exact model name, or null.
    [[nodiscard]] TableDriver* driver(std::string_view model);
    [[nodiscard]] RecordWriter& records() { return records_; }

private:
    OsRecordFileSystem files_;
    OsLocalClock clock_;
    RecordWriter records_;
    TableDriver t3_;
    TableDriver n5_;
    TableDriver q71_;
    TableDriver zc37_;
};

}  // namespace dalmora
