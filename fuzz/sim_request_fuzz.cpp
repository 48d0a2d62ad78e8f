// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated controller's request side: any bytes as the lines a host sends it, in the
// application and in the bootloader.

#include "fuzz_support.h"
#include "sim/sim_device.h"

using namespace zel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnsureApplication();
    if (size < 1)
        return 0;
    SimOptions options;
    options.rows = data[0] % 129;
    options.boot = data[0] & 0x80;
    options.seed = 1;
    SimDevice device(options, QDateTime(QDate(2024, 6, 21), QTime(12, 0), Qt::UTC), 0,
                     [](const QString&, const QString&) {});
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    qint64 now = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        device.Handle(line, now);
        now += 250;
        device.Advance(now);
    }
    return 0;
}
