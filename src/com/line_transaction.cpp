// SPDX-License-Identifier: GPL-3.0-or-later
#include "com/line_transaction.h"

#include "cfg/conversions.h"
#include "lang/translate.h"

#include <QElapsedTimer>

namespace zel {

namespace {

QElapsedTimer& Clock() {
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString Quoted(const QByteArray& text) {
    return QLatin1Char('"') + QString::fromLatin1(text) + QLatin1Char('"');
}

} // namespace

QByteArray HexDigits(const uint8_t* bytes, int count) {
    return QByteArray(reinterpret_cast<const char*>(bytes), count).toHex().toUpper();
}

uint8_t HexPair(const QByteArray& text, int position) {
    const QByteArray pair = text.mid(position, 2);
    const int high = pair.size() == 2 ? HexValue(pair[0]) : -1;
    const int low = pair.size() == 2 ? HexValue(pair[1]) : -1;
    if (high < 0 || low < 0)
        throw ConversionError(QStringLiteral("'%1' is not a valid hexadecimal byte")
                                  .arg(QString::fromLatin1(pair))
                                  .toStdString());
    return uint8_t(high * 16 + low);
}

LineTransaction::LineTransaction(SerialLine& port, LogFunction log)
    : port_(port), log_(std::move(log)) {}

QString LineTransaction::ElapsedText(qint64 since) const {
    return QStringLiteral(" %1 ms").arg(Clock().elapsed() - since);
}

bool LineTransaction::ReadBlock(const QByteArray& code, int n, TransferBuffer& buffer) {
    try {
        return Exchange(code, n, buffer);
    } catch (const SerialLineStopped&) {
        return false; // the thread is ending: nothing went wrong with the port
    } catch (const std::exception& error) {
        log_(QString::fromStdString(error.what()));
        return false;
    }
}

bool LineTransaction::Exchange(const QByteArray& code, int n, TransferBuffer& buffer) {
    if (n < 0 || n > MaxBlockLength)
        throw SerialLineError(QStringLiteral("Block length %1 is out of range").arg(n));
    port_.Purge();
    const qint64 t0 = Clock().elapsed();
    port_.Write(code + '\n');
    if (debug_)
        log_(QStringLiteral("OUT: ") + Quoted(code) + ElapsedText(t0));

    const int expected = 2 * (n + 1) + 1;
    const qint64 t1 = Clock().elapsed();
    const QByteArray received = port_.Read(expected);
    // The text ends at the first zero byte, as a C string would.
    const QByteArray text =
        received.left(received.indexOf('\0') < 0 ? received.size() : received.indexOf('\0'));
    if (debug_)
        log_(QStringLiteral("IN: ") + Quoted(text) + ElapsedText(t1));

    if (received.isEmpty()) {
        log_(Translate(QStringLiteral("NoData")));
        port_.Close();
        return false;
    }
    if (received.size() != expected)
        return false;
    if (received.left(2) != code.left(2))
        return false;
    const char terminator = received.back();
    if (terminator != '\n' && terminator != '\r')
        return false;
    for (int i = 0; i <= n; ++i)
        buffer[size_t(1 + i)] = HexPair(text, 2 * i);
    return true;
}

bool LineTransaction::WriteBlock(const QByteArray& code, int n, const TransferBuffer& buffer) {
    try {
        if (n < 0 || n > MaxBlockLength)
            throw SerialLineError(QStringLiteral("Block length %1 is out of range").arg(n));
        const QByteArray line = code + HexDigits(buffer.data() + PayloadOffset, n) + '\n';
        port_.Purge();
        const qint64 t0 = Clock().elapsed();
        port_.Write(line);
        if (debug_)
            log_(QStringLiteral("OUT: ") + Quoted(line) + ElapsedText(t0));
        const qint64 t1 = Clock().elapsed();
        const QByteArray reply = port_.Read(1);
        if (debug_) {
            const QByteArray shown = reply.isEmpty() || reply[0] == '\0' ? QByteArray() : reply;
            log_(QStringLiteral("IN: ") + Quoted(shown) + ElapsedText(t1));
        }
        return !reply.isEmpty();
    } catch (const SerialLineStopped&) {
        return false; // the thread is ending: nothing went wrong with the port
    } catch (const std::exception& error) {
        log_(QString::fromStdString(error.what()));
        return false;
    }
}

void LineTransaction::WriteRaw(const QByteArray& line) {
    port_.Purge();
    port_.Write(line);
}

} // namespace zel
