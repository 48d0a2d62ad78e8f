// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>

namespace zel::test {

inline void AppendInt32(QByteArray& bytes, int64_t value) {
    for (int i = 0; i < 4; ++i)
        bytes += char((uint64_t(value) >> (8 * i)) & 0xFF);
}

// first + last + every image byte, modulo 2^32.
inline uint32_t FirmwareChecksum(int64_t first, const QByteArray& image) {
    uint32_t sum = uint32_t(first) + uint32_t(first + image.size() - 1);
    for (char byte : image)
        sum += uint8_t(byte);
    return sum;
}

// A ".chx" file: first and last address, the image, the checksum (little-endian). A non-zero
// checksumOffset spoils the checksum on purpose.
inline QByteArray FirmwareFile(int64_t first, const QByteArray& image, int64_t checksumOffset = 0) {
    QByteArray file;
    AppendInt32(file, first);
    AppendInt32(file, first + image.size() - 1);
    file += image;
    AppendInt32(file, int64_t(FirmwareChecksum(first, image)) + checksumOffset);
    return file;
}

// An image for the addresses first..last whose byte at address a is byteAt(a).
template <typename ByteAt>
QByteArray FirmwareImageBytes(int64_t first, int64_t last, ByteAt byteAt) {
    QByteArray image;
    for (int64_t address = first; address <= last; ++address)
        image += char(byteAt(address));
    return image;
}

} // namespace zel::test
