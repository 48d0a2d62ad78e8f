// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Everything that shapes a simulated controller: what it is, how its line behaves and which
// faults it shows. The defaults give the well-behaved demo device.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace zel {

constexpr int MaxSimRows = 128; // row indexes travel as int8

// A firmware block the bootloader leaves unacknowledged (and does not store).
struct NackRule {
    int address = -1;  // the block address, or -1 when the rule names a block line
    int blockLine = 0; // the n-th block line received (1-based), when address is -1
    int tries = 0;     // by address: only the first `tries` tries; 0 = every try
};

// A write the controller stores one higher than it was sent, at one byte of the payload.
struct MisstoreRule {
    uint8_t code = 0; // 0x02, 0x03, 0x05 or 0x06
    int offset = 0;   // byte of the payload; for 0x03 byte 0 is the row index
};

// The reply-th block reply (1-based) to the Get `code`, and with `onward` every later one too,
// is sent with a wrong echo.
struct GarbleRule {
    uint8_t code = 0;
    int reply = 0;
    bool onward = false;
};

struct SimOptions {
    // The controller.
    int rows = 32;
    std::optional<uint32_t> seed; // none: a new random seed each run
    QString statePath;            // where "7F01" saves and a start loads the state
    bool waterSensor = true;
    uint8_t hardwareId = 7; // what "80" answers in the application
    uint8_t firmwareVariant = 0;

    // The bootloader.
    bool boot = false; // start in the bootloader
    uint16_t pageSize = 128;
    uint32_t flashSize = 32768;
    QString flashOutPath; // the flash image, written after each restart and on stop
    std::vector<NackRule> nackBlocks;

    // The line.
    int paceBaud = 0; // 0: as fast as the pseudo-terminal goes
    bool lowercase = false;
    bool cr = false; // Get replies end with CR instead of LF
    QString logPath;

    // Faults.
    bool silent = false;
    int silentAfter = -1; // lines answered before falling silent; -1: never
    bool garbage = false;
    bool shortReply = false;
    bool longReply = false;
    bool wrongEcho = false;
    int dropAcks = 0; // 0: none dropped, 1: every acknowledgement, n: every n-th
    int delayMs = 0;
    int closeAfter = -1; // lines after which the port vanishes; -1: never
    std::vector<MisstoreRule> misstore;
    std::vector<GarbleRule> garble;
};

struct SimCommandLine {
    SimOptions options;
    QString linkPath;
    bool help = false;
    bool version = false;
};

// Throws std::invalid_argument with a one-line message naming the offending option.
SimCommandLine ParseSimArguments(const QStringList& arguments);
QString SimUsage();

} // namespace zel
