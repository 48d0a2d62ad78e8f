// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/serial_line.h"

#include <QByteArrayList>
#include <QStringList>

namespace zel::test {

// A serial line whose replies are scripted: each Read takes the next reply (cut to the count
// asked for, the rest staying queued as a real line would keep it until the next purge).
class ScriptedLine final : public SerialLine {
public:
    QByteArrayList replies; // one entry per Read; an empty entry is silence
    QByteArrayList written; // every Write, in order
    int purges = 0;
    bool failOpen = false;
    bool failWrite = false;
    int vanishAtRead = -1; // the read (from 0) at which the port goes away, as unplugged

    void SetName(const QString& name) override { name_ = name; }
    QString Name() const override { return name_; }
    void Open() override;
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    void Purge() override;
    void Write(const QByteArray& data) override;
    QByteArray Read(int count) override;

private:
    QString name_;
    bool open_ = true;
    QByteArray pending_;
    int reads_ = 0;
};

} // namespace zel::test
