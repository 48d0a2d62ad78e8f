// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware file parser against any file content.

#include "com/firmware_file.h"
#include "fuzz_support.h"

using namespace zel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnsureApplication();
    const QString path = fuzz::InputFile(data, size, ".chx");
    static FirmwareImage image;
    int64_t first = 0;
    int64_t last = 0;
    const FirmwareReport report{[](const QString&) {}, [](const QString&) {}, false};
    if (ParseFirmwareFile(path, image, FirmwareImageSize - 1, first, last, report) &&
        (first < 0 || last >= FirmwareImageSize || last < first))
        __builtin_trap(); // a range the image cannot hold was accepted
    return 0;
}
