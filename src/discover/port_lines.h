// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The lines a port name can stand for: a tty, or the serial port of a paired Bluetooth device.

#include "com/serial_line.h"

#include <QString>

#include <memory>

namespace zel {

// The serial port of a paired Bluetooth device is named by its address:
// "rfcomm:00:11:22:33:44:55".
extern const QString BluetoothPortPrefix;

// Opens each name as the port it stands for: a Bluetooth port name the paired device's serial
// port (over RFCOMM), any other name a tty as CreateSerialPortLine opens it.
std::unique_ptr<SerialLine> CreatePortLine(int readTimeoutMs = LineTimeoutMs);

} // namespace zel
