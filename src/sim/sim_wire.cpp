// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/sim_wire.h"

#include <algorithm>

namespace zel {

namespace {

int Nibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool DecodeHex(const QByteArray& text, int offset, int count, uint8_t* out) {
    if (offset < 0 || count < 0 || qsizetype(offset) + 2 * qsizetype(count) > text.size())
        return false;
    for (int i = 0; i < count; ++i) {
        const int high = Nibble(text[offset + 2 * i]);
        const int low = Nibble(text[offset + 2 * i + 1]);
        if (high < 0 || low < 0)
            return false; // the caller reports the line as a whole
        out[i] = uint8_t(high << 4 | low);
    }
    return true;
}

QByteArray EncodeHex(const uint8_t* bytes, int count) {
    static const char digits[] = "0123456789ABCDEF";
    QByteArray text(2 * count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    return text;
}

Request ParseRequest(const QByteArray& line) {
    Request request;
    if (line.size() < 2) {
        request.error = QStringLiteral("line too short");
        return request;
    }
    if ((line.size() - 2) % 2 != 0) {
        request.error = QStringLiteral("odd number of hex digits");
        return request;
    }
    request.payload.resize(size_t(line.size() - 2) / 2);
    if (!DecodeHex(line, 0, 1, &request.code) ||
        !DecodeHex(line, 2, int(request.payload.size()), request.payload.data())) {
        request.payload.clear();
        request.error = QStringLiteral("not hex digits");
    }
    return request;
}

SimAnswer BlockAnswer(uint8_t code, const void* block, int size) {
    SimAnswer answer;
    answer.kind = SimAnswer::Kind::Block;
    answer.code = code;
    const auto* bytes = static_cast<const uint8_t*>(block);
    answer.block.assign(bytes, bytes + size);
    return answer;
}

SimAnswer AckAnswer() {
    SimAnswer answer;
    answer.kind = SimAnswer::Kind::Ack;
    return answer;
}

SimAnswer BadAnswer(const QString& why) {
    SimAnswer answer;
    answer.bad = why;
    return answer;
}

SimAnswer SkipAnswer(const QString& why) {
    SimAnswer answer;
    answer.skip = why;
    return answer;
}

QByteArray FormatAnswer(const SimAnswer& answer, bool lowercase, bool cr) {
    switch (answer.kind) {
    case SimAnswer::Kind::None:
        return {};
    case SimAnswer::Kind::Ack:
        return QByteArray(1, AckByte);
    case SimAnswer::Kind::Block:
        break;
    }
    QByteArray reply =
        EncodeHex(&answer.code, 1) + EncodeHex(answer.block.data(), int(answer.block.size()));
    if (lowercase)
        reply = reply.toLower();
    reply.append(cr ? '\r' : '\n');
    return reply;
}

ReplyShaper::ReplyShaper(const SimOptions& options, uint32_t seed)
    : options_(options), random_(seed) {}

ReplyShaper::Shaped ReplyShaper::Shape(const SimAnswer& answer, qint64 lineNumber) {
    Shaped shaped;
    if (answer.kind == SimAnswer::Kind::None)
        return shaped;
    if (options_.silent) {
        shaped.skip = QStringLiteral("--silent");
        return shaped;
    }
    if (options_.silentAfter >= 0 && lineNumber > options_.silentAfter) {
        shaped.skip = QStringLiteral("--silent-after %1").arg(options_.silentAfter);
        return shaped;
    }
    if (answer.kind == SimAnswer::Kind::Ack && options_.dropAcks > 0 &&
        ++acks_ % options_.dropAcks == 0) {
        shaped.skip = QStringLiteral("--drop-acks");
        return shaped;
    }

    SimAnswer shown = answer;
    if (shown.kind == SimAnswer::Kind::Block) {
        const qint64 reply = ++blockReplies_[answer.code];
        const bool garbled = std::any_of(
            options_.garble.begin(), options_.garble.end(), [&](const GarbleRule& rule) {
                return rule.code == answer.code &&
                       (rule.reply == reply || (rule.onward && reply > rule.reply));
            });
        if (options_.wrongEcho || garbled)
            shown.code = uint8_t(shown.code + 1);
    }
    QByteArray reply = FormatAnswer(shown, options_.lowercase, options_.cr);
    if (options_.garbage) {
        std::uniform_int_distribution<int> byte(0, 255);
        for (char& c : reply)
            c = char(byte(random_));
    }
    if (options_.shortReply) {
        // One character short: the last hex digit (or the acknowledgement) goes missing.
        reply.remove(answer.kind == SimAnswer::Kind::Block ? reply.size() - 2 : 0, 1);
    } else if (options_.longReply) {
        reply.insert(answer.kind == SimAnswer::Kind::Block ? reply.size() - 1 : 1,
                     answer.kind == SimAnswer::Kind::Block ? '0' : AckByte);
    }
    if (reply.isEmpty())
        shaped.skip = QStringLiteral("--short");
    shaped.bytes = reply;
    return shaped;
}

QString EscapeForLog(const QByteArray& bytes, int limit) {
    QString text;
    const int shown = qMin(bytes.size(), qMax(limit, 0));
    for (int i = 0; i < shown; ++i) {
        const auto c = uint8_t(bytes[i]);
        if (c == '\n')
            text += QLatin1String("\\n");
        else if (c == '\r')
            text += QLatin1String("\\r");
        else if (c == '\\')
            text += QLatin1String("\\\\");
        else if (c >= 0x20 && c < 0x7F)
            text += QLatin1Char(char(c));
        else
            text += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    if (shown < bytes.size())
        text += QStringLiteral("... (%1 bytes)").arg(bytes.size());
    return text;
}

} // namespace zel
