// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/serial_line.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

namespace zel {

constexpr int TransferBufferSize = 134;
constexpr int MaxBlockLength = 132;
// Byte 0 spare, byte 1 the echoed code after a Get, bytes 2.. the block.
using TransferBuffer = std::array<uint8_t, TransferBufferSize>;
constexpr int PayloadOffset = 2;

// The two exchanges of the line protocol: a Get sends a code and reads a block back as hex
// digits; a Set sends a code with a block and reads a one-byte acknowledgement. Neither
// throws: every failure is logged and reported as false.
class LineTransaction {
public:
    using LogFunction = std::function<void(const QString&)>;

    LineTransaction(SerialLine& port, LogFunction log);

    void SetDebug(bool debug) { debug_ = debug; }
    bool Debug() const { return debug_; }

    // On success buffer[1] holds the echoed code and buffer[2 .. n+1] the block.
    bool ReadBlock(const QByteArray& code, int n, TransferBuffer& buffer);
    // Sends buffer[2 .. n+1] after the code.
    bool WriteBlock(const QByteArray& code, int n, const TransferBuffer& buffer);
    // Purges and writes a line without waiting for any reply (the bootloader switch).
    void WriteRaw(const QByteArray& line);

private:
    bool Exchange(const QByteArray& code, int n, TransferBuffer& buffer);
    QString ElapsedText(qint64 since) const;

    SerialLine& port_;
    LogFunction log_;
    bool debug_ = false;
};

// "0B0A" style upper-case hex of bytes, and its inverse for one pair (throws on a bad pair).
QByteArray HexDigits(const uint8_t* bytes, int count);
uint8_t HexPair(const QByteArray& text, int position);

} // namespace zel
