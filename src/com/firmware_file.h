// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

namespace zel {

constexpr int FirmwareImageSize = 0x10000;
using FirmwareImage = std::array<uint8_t, FirmwareImageSize>;

struct FirmwareReport {
    std::function<void(const QString&)> Log;
    std::function<void(const QString&)> Status;
    bool Debug = false;
};

// Reads a ".chx" firmware file (first and last address, the image bytes, a checksum) into
// the image at the bytes' own addresses. False, with its message already reported, when the
// file cannot be used: not a regular file, longer than a header, highest + 1 image bytes and a
// checksum, unreadable, or wrong. A header whose range leaves 0..highest, or ends below its
// start, is never read into the image.
bool ParseFirmwareFile(const QString& path, FirmwareImage& image, int highest, int64_t& first,
                       int64_t& last, const FirmwareReport& report);

// "path date time size bytes" of a file, or an empty text when it does not exist.
QString DescribeFile(const QString& path);

} // namespace zel
