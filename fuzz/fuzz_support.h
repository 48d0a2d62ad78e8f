// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the fuzz targets share: the input as a file where the code under test reads a file, and
// a Qt application object for code that needs one (created once per process).

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace zel::fuzz {

inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

// A file holding the bytes; the same path every time, so the input costs one write.
inline QString InputFile(const uint8_t* data, size_t size, const char* suffix) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("input") + QLatin1String(suffix));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    return path;
}

} // namespace zel::fuzz
