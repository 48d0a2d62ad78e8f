// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: any bytes through the INI reader, the configuration import and the
// schedule import, then written back out.

#include "cfg/device_state.h"
#include "files/settings_file.h"
#include "fuzz_support.h"

using namespace zel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnsureApplication();
    const QString path = fuzz::InputFile(data, size, ".ini");
    DeviceState state;
    const int rows = size > 0 ? data[0] % 129 : 2;
    state.Info.RowCount = uint8_t(rows);
    state.ResizeSchedule(rows);
    try {
        ImportConfiguration(path, state);
        ImportSchedule(path, state);
        WriteSettingsFile(path, state);
    } catch (const std::exception&) {
        // A file refused with its message is the expected way out.
    }
    return 0;
}
