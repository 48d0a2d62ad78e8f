// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/json_writer.h"

#include <cmath>

namespace zel {

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasElement_.empty()) {
        if (hasElement_.back())
            text_ += QLatin1Char(',');
        hasElement_.back() = true;
    }
}

JsonWriter& JsonWriter::Open(char bracket) {
    BeforeValue();
    text_ += QLatin1Char(bracket);
    hasElement_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    hasElement_.pop_back();
    text_ += QLatin1Char(bracket);
    return *this;
}

JsonWriter& JsonWriter::Key(QStringView name) {
    BeforeValue();
    Quoted(name);
    text_ += QLatin1Char(':');
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
    BeforeValue();
    text_ += QString::number(value);
    return *this;
}

JsonWriter& JsonWriter::Number(double value, int decimals) {
    // JSON has no infinity or NaN.
    if (!std::isfinite(value))
        return Null();
    BeforeValue();
    QString number = QString::number(value, 'f', decimals);
    if (number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    text_ += number == QLatin1String("-0") ? QStringLiteral("0") : number;
    return *this;
}

JsonWriter& JsonWriter::String(QStringView text) {
    BeforeValue();
    Quoted(text);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? QLatin1String("true") : QLatin1String("false");
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    text_ += QLatin1String("null");
    return *this;
}

void JsonWriter::Quoted(QStringView text) {
    text_ += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            text_ += QLatin1String("\\\"");
            break;
        case '\\':
            text_ += QLatin1String("\\\\");
            break;
        case '\n':
            text_ += QLatin1String("\\n");
            break;
        case '\r':
            text_ += QLatin1String("\\r");
            break;
        case '\t':
            text_ += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                text_ += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                text_ += c;
        }
    }
    text_ += QLatin1Char('"');
}

} // namespace zel
