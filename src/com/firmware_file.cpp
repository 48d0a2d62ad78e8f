// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/firmware_file.h"

#include "lang/date_time_text.h"
#include "lang/translate.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

QString DescribeFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    return path + QLatin1Char(' ') + LocalDateTimeText(info.lastModified()) + QLatin1Char(' ') +
           QString::number(info.size()) + QLatin1Char(' ') + Translate(QStringLiteral("Bytes"));
}

namespace {

// Around the image: first and last address before it, the checksum after it.
constexpr int64_t HeaderLength = 8;
constexpr int64_t ChecksumLength = 4;

int32_t LittleEndian32(const QByteArray& bytes) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | uint8_t(i < bytes.size() ? bytes[i] : 0);
    return int32_t(value);
}

} // namespace

bool ParseFirmwareFile(const QString& path, FirmwareImage& image, int highest, int64_t& first,
                       int64_t& last, const FirmwareReport& report) {
    if (const QString description = DescribeFile(path); !description.isEmpty())
        report.Log(description);
    auto parsingError = [&](const QString& message) {
        report.Log(message);
        report.Status(Translate(QStringLiteral("ParsingError")));
        return false;
    };
    // Opened without blocking and checked on the open descriptor: a FIFO or a device could
    // hold the reader forever, and a check of the name alone could be raced.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return parsingError(
            QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return parsingError(file.errorString());
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode))
        return parsingError(QStringLiteral("%1: not a regular file").arg(path));
    const int64_t largest = HeaderLength + int64_t(highest) + 1 + ChecksumLength;
    if (info.st_size > largest)
        return parsingError(QStringLiteral("%1: %2 bytes is larger than any firmware file "
                                           "(at most %3 bytes)")
                                .arg(path)
                                .arg(int64_t(info.st_size))
                                .arg(largest));

    const QByteArray header = file.read(HeaderLength);
    if (header.size() != HeaderLength)
        return parsingError(QStringLiteral("%1: the file ends inside its header").arg(path));
    first = LittleEndian32(header.left(4));
    last = LittleEndian32(header.mid(4));
    if (first < 0 || last < first || last > highest)
        return parsingError(QStringLiteral("%1: address range %2..%3 lies outside 0..%4")
                                .arg(path)
                                .arg(first)
                                .arg(last)
                                .arg(highest));

    uint32_t sum = uint32_t(first) + uint32_t(last);
    const QByteArray bytes = file.read(last - first + 1);
    for (int i = 0; i < bytes.size(); ++i) {
        image[size_t(first + i)] = uint8_t(bytes[i]);
        sum += uint8_t(bytes[i]);
    }
    const QByteArray checksum = file.read(ChecksumLength);
    if (file.error() != QFileDevice::NoError)
        return parsingError(file.errorString());
    // A file shorter than its header says never passes, whatever its last bytes hold.
    const bool complete = bytes.size() == last - first + 1 && checksum.size() == ChecksumLength;
    const int32_t stored = LittleEndian32(checksum);
    if (!complete || uint32_t(stored) != sum) {
        report.Status(TranslateFormat(
            QStringLiteral("ChecksumError"),
            {QString::number(stored) + QStringLiteral(" != ") + QString::number(int32_t(sum))}));
        return false;
    }
    if (report.Debug)
        report.Log(QStringLiteral("Checksum: ") + QString::number(int32_t(sum)));
    if (first < last)
        return true;
    report.Status(Translate(QStringLiteral("NoDataInFile")));
    return false;
}

} // namespace zel
