// SPDX-License-Identifier: GPL-3.0-or-later
#include "discover/bluetooth_stack.h"

#include <QStringList>

namespace zel {

const QString ControllerName = QStringLiteral("ZELPHORIN2");
const QString PairingPin = QStringLiteral("8614");
const QString SerialPortServiceClass = QStringLiteral("00001101-0000-1000-8000-00805f9b34fb");

QString PrintableName(QString name) {
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return name;
}

QString FormatBluetoothAddress(uint64_t address) {
    QStringList bytes;
    for (int shift = 40; shift >= 0; shift -= 8)
        bytes << QStringLiteral("%1")
                     .arg(unsigned((address >> shift) & 0xFF), 2, 16, QLatin1Char('0'))
                     .toUpper();
    return bytes.join(QLatin1Char(':'));
}

bool ParseBluetoothAddress(const QString& text, uint64_t& address) {
    const QStringList bytes = text.split(QLatin1Char(':'));
    if (bytes.size() != 6)
        return false;
    uint64_t value = 0;
    const auto hexDigit = [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               (c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F'));
    };
    for (const QString& byte : bytes) {
        if (byte.size() != 2 || !hexDigit(byte[0]) || !hexDigit(byte[1]))
            return false;
        value = value << 8 | byte.toUInt(nullptr, 16);
    }
    address = value;
    return true;
}

} // namespace zel
