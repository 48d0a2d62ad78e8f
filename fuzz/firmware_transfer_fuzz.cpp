// SPDX-License-Identifier: GPL-3.0-or-later
// The bootloader's information block and a whole firmware transfer against any replies.
// Bytes 0-1 give the image's first address, bytes 2-3 its length (a wrapped value makes the
// range run backwards), byte 4 the read at which the port vanishes (255: never), and the rest is
// what the line returns, one read per '|'-separated piece: the first answers the request for the
// information block, the others the blocks (an empty piece is silence, which closes the port as a
// vanished controller would). Besides crashes, the target traps when the transfer breaks its
// promises: a block outside the writable flash or out of order, a block whose bytes are not the
// image's, a block tried too often, anything sent after refused figures, or success reported for a
// range not sent.

#include "com/command_set.h"
#include "com/firmware_transfer.h"
#include "fuzz_support.h"
#include "lang/translate.h"
#include "support/scripted_line.h"

#include <cstdlib>

using namespace zel;

namespace {

uint8_t ImageByte(int64_t address) {
    return uint8_t((address * 29 + 7) & 0xFF);
}

void Require(bool promise) {
    if (!promise)
        std::abort();
}

struct Span {
    int64_t begin = -1; // the first block's address
    int64_t end = -1;   // one past the last block's bytes
};

// Checks each "02" line the transfer wrote, and returns the addresses they covered.
Span CheckBlocks(const QByteArrayList& written, int64_t writable) {
    int64_t previous = -1;
    int tries = 0;
    Span span;
    for (const QByteArray& line : written) {
        if (!line.startsWith("02"))
            continue;
        Require(line.size() == 2 + 2 * FlashBlockLength + 1);
        const QByteArray bytes = QByteArray::fromHex(line.mid(2, 2 * FlashBlockLength));
        const auto at = [&](int i) { return uint8_t(bytes[i]); };
        const int64_t address = at(0) | at(1) << 8;
        Require(address % 64 == 0 && address + 64 <= writable);
        for (int i = 0; i < 64; ++i)
            Require(at(2 + i) == ImageByte(address + i));
        tries = address == previous ? tries + 1 : 1;
        Require(address >= previous && tries <= 10);
        Require(previous < 0 || address == previous || address == previous + 64);
        if (span.begin < 0)
            span.begin = address;
        previous = address;
        span.end = address + 64;
    }
    return span;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnsureApplication();
    if (size < 5)
        return 0;
    const int64_t first = data[0] << 8 | data[1];
    const int64_t last = first + int16_t(data[2] << 8 | data[3]);
    test::ScriptedLine line;
    line.vanishAtRead = data[4] == 255 ? -1 : data[4];
    line.replies =
        QByteArray(reinterpret_cast<const char*>(data + 5), qsizetype(size - 5)).split('|');
    QStringList log;
    LineTransaction transaction(line, [&](const QString& text) { log << text; });

    TransferBuffer buffer{};
    if (!transaction.ReadBlock("81", BootInfoLength, buffer))
        return 0;
    const BootInfo info = BootInfoFromBlock(buffer);
    static FirmwareImage image = [] {
        FirmwareImage bytes{};
        for (int64_t address = 0; address < FirmwareImageSize; ++address)
            bytes[size_t(address)] = ImageByte(address);
        return bytes;
    }();
    QStringList status;
    const TransferHooks hooks{
        [&](const QString& text) { log << text; }, [&](const QString& text) { status << text; },
        [](const QString&, qint64, qint64) {}, [](int) { return true; }, [] { return false; }};
    const qsizetype before = line.written.size();
    const TransferOutcome outcome =
        TransferFirmware(transaction, line, info, image, first, last, hooks);

    const QByteArrayList sent = line.written.mid(before);
    const int64_t writable = WritableEnd(info);
    const bool refused = !BootInfoFault(info).isEmpty() || first > last || last >= writable;
    Require(!refused || (sent.isEmpty() && outcome == TransferOutcome::Failed));
    const Span span = CheckBlocks(sent, writable);
    Require(!status.isEmpty() &&
            (outcome == TransferOutcome::Complete) ==
                (status.back() == Translate(QStringLiteral("FirmwareUpdateSuccessful"))));
    if (outcome == TransferOutcome::Complete)
        Require(span.begin >= 0 && span.begin <= first && span.end > last &&
                sent.back().startsWith("01"));
    // A vanished port fails the read it vanished in, and is never used again.
    Require(log.filter(QLatin1String("is not open")).size() <= 1);
    return 0;
}
