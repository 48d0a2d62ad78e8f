// SPDX-License-Identifier: GPL-3.0-or-later
// The reply side of a line transaction: any bytes as the answer to any code and length, for a
// Get and for a Set. Byte 0 picks the length, byte 1 the code, the rest is what the line
// returns, split into reads at every '|' so a reply can also come in pieces.

#include "com/line_transaction.h"
#include "fuzz_support.h"
#include "support/scripted_line.h"

using namespace zel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnsureApplication();
    if (size < 2)
        return 0;
    const int length = data[0] % (MaxBlockLength + 2); // one past the limit too
    const QByteArray code = QByteArray::number(data[1], 16).rightJustified(2, '0').toUpper();
    const QByteArray reply(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    for (const bool set : {false, true}) {
        test::ScriptedLine line;
        line.replies = reply.split('|');
        LineTransaction transaction(line, [](const QString&) {});
        transaction.SetDebug(data[1] & 1);
        TransferBuffer buffer{};
        if (set)
            transaction.WriteBlock(code, length, buffer);
        else
            transaction.ReadBlock(code, length, buffer);
    }
    return 0;
}
