// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace zel {

// Compact JSON text in the order it is written (QJsonObject would sort the keys, and a reader
// of `get --json` expects the order of the settings file). One line, UTF-8 once encoded.
//
//     JsonWriter json;
//     json.BeginObject().Key(u"Mode").Number(1).Key(u"Rows").BeginArray().EndArray().EndObject();
//     out << json.Text(); // {"Mode":1,"Rows":[]}
class JsonWriter {
public:
    JsonWriter& BeginObject() { return Open('{'); }
    JsonWriter& EndObject() { return Close('}'); }
    JsonWriter& BeginArray() { return Open('['); }
    JsonWriter& EndArray() { return Close(']'); }
    JsonWriter& Key(QStringView name);
    JsonWriter& Number(int64_t value);
    // A real with up to `decimals` decimals, trailing zeros dropped; always a "." point.
    JsonWriter& Number(double value, int decimals);
    JsonWriter& String(QStringView text);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    const QString& Text() const { return text_; }

private:
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);
    void BeforeValue();
    void Quoted(QStringView text);

    QString text_;
    // Per open object or array: whether it has an element already.
    std::vector<bool> hasElement_;
    bool afterKey_ = false;
};

} // namespace zel
