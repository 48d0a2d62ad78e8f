// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QString>

#include <cstdint>

namespace zel {

// Opens the serial port of a paired Bluetooth device as a connected RFCOMM socket. BlueZ is
// asked first: a client profile for the serial port class lets it find the device's RFCOMM
// channel in the device's service records, connect, and hand the socket over. Where that
// fails, channel 1 is tried directly, the channel such modules use by default. Returns the
// socket (the caller closes it), or -1 with what failed. A pending interruption request of the
// calling QThread ends the attempt within a tenth of a second.
int ConnectBluetoothSerialPort(const QDBusConnection& bus, uint64_t address, int timeoutMs,
                               QString& error);

// A direct RFCOMM connection to a channel; -1 with the error text when it fails.
int ConnectRfcommChannel(uint64_t address, int channel, int timeoutMs, QString& error);

} // namespace zel
