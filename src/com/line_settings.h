// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>

namespace zel {

// 115200 8N1, no flow control, DTR and RTS inactive. Every setting is applied even when an
// earlier one was refused (a pseudo-terminal refuses the line controls); true when all took.
template <typename Port> bool ApplyLineSettings(Port& port) {
    bool all = true;
    all &= port.setBaudRate(QSerialPort::Baud115200);
    all &= port.setDataBits(QSerialPort::Data8);
    all &= port.setParity(QSerialPort::NoParity);
    all &= port.setStopBits(QSerialPort::OneStop);
    all &= port.setFlowControl(QSerialPort::NoFlowControl);
    all &= port.setDataTerminalReady(false);
    all &= port.setRequestToSend(false);
    return all;
}

} // namespace zel
