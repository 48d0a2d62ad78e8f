// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small file helpers shared by the settings file tests.

#include <QByteArray>
#include <QFile>
#include <QtTest>

#include <random>

// The lines with CR LF endings, as the writer puts them.
inline QByteArray Crlf(const char* lines) {
    return QByteArray(lines).replace("\n", "\r\n");
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Reproducible binary garbage.
inline QByteArray RandomBytes(qsizetype size, unsigned seed) {
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random() & 0xFF);
    return bytes;
}
