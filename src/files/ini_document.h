// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An INI document that keeps what it was not told to change. The file is kept as its bytes and
// read line by line in place; changes are laid over it and merged when the document is written,
// so a foreign or older file (comments, unknown sections, rows beyond today's count) survives
// an update, and a huge or binary file costs a few bytes a line rather than a string per key.
//
// Text is Latin-1, one character per byte: a file written with any 8-bit code page (or UTF-8)
// parses, and every byte of it is written back unchanged, but for a UTF-8 byte-order mark at
// its start, which is skipped. Lines end in LF, CR LF or a lone CR. Names are matched
// ASCII-case-blind; when a section or a key appears twice, the first one is read and set.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace zel {

// A settings file that cannot be read or written; what() is the message for the log.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromUtf8(what()); }
};

// Larger files are refused: a settings file is a few tens of kilobytes (128 rows at most), and
// the window reads it on its own thread.
constexpr qint64 MaxIniFileSize = 1024 * 1024;

class IniDocument {
public:
    IniDocument() = default;
    // Parses text as read from a file; throws FileError above MaxIniFileSize.
    explicit IniDocument(QByteArray bytes);

    // Throws FileError when the file cannot be read, is no regular file or is too large.
    static IniDocument FromFile(const QString& path);

    bool HasSection(QStringView section) const;
    std::optional<QString> Value(QStringView section, QStringView key) const;
    // The value as an integer (see ParseIniInteger); empty when missing or not an integer.
    std::optional<uint64_t> Integer(QStringView section, QStringView key) const;

    // Replaces the value in place, or appends the key to its section, or appends the section.
    void SetValue(QStringView section, QStringView key, const QString& value);

    // CR LF lines, blank lines dropped, one empty line after every section.
    QByteArray ToBytes() const;
    // Atomic: on any failure the previous file stays whole. Throws FileError.
    void Save(const QString& path) const;

private:
    struct Line {
        uint32_t Start = 0;
        uint32_t Length = 0;
        uint32_t Equals = NoEquals; // offset of the '=' of a key line within the line
        int32_t Section = -1;       // -1 before the first section
    };
    struct Section {
        uint32_t HeaderLine = 0;
        uint32_t NameStart = 0; // byte range of the trimmed name in Bytes
        uint32_t NameLength = 0;
    };
    struct Pair {
        QByteArray Key;
        QByteArray Value;
    };
    struct AddedSection {
        QByteArray Name;
        std::vector<Pair> Pairs;
    };
    static constexpr uint32_t NoEquals = UINT32_MAX;

    void Parse();
    void BuildIndexes();
    QByteArray LineBytes(uint32_t line) const;
    QByteArray SectionName(uint32_t section) const;
    QByteArray KeyOf(uint32_t line) const;
    QByteArray ValueOf(uint32_t line) const;
    std::optional<uint32_t> FindSection(const QByteArray& name) const;
    std::optional<uint32_t> FindKeyLine(uint32_t section, const QByteArray& key) const;

    QByteArray Bytes;
    std::vector<Line> Lines;
    std::vector<Section> Sections;
    std::vector<uint32_t> SectionsByName;    // section indexes sorted by name, then position
    std::vector<uint32_t> KeyLinesBySection; // key lines sorted by section, key, position
    std::unordered_map<uint32_t, QByteArray> Changed; // key line → new value
    std::map<uint32_t, std::vector<Pair>> Appended;   // section → keys added at its end
    std::vector<AddedSection> AddedSections;
};

// Writes bytes as the whole new content of path, atomically: on any failure the previous file
// stays whole. Throws FileError.
void SaveFileAtomically(const QString& path, const QByteArray& bytes);

// An integer as the file reader reads it: "0x"/"0X" or "$" and hexadecimal digits, or decimal
// digits with an optional sign.
struct IniInteger {
    uint64_t Magnitude = 0; // the low 64 bits of the digits' value
    bool Negative = false;
    bool Hexadecimal = false;
    bool Overflow = false; // the digits' value needs more than 64 bits
};
// Empty for anything that is not such an integer (a missing value included).
std::optional<IniInteger> ReadIniInteger(QStringView text);

// A value as the low 64 bits of a two's complement integer: "0x"/"0X" or "$" and hex digits, or
// decimal digits with an optional sign. Empty for anything else (a missing value included).
// Storing the low bits into a narrower field cuts it: 300 → 44 in a byte, -1 → 255.
std::optional<uint64_t> ParseIniInteger(QStringView text);

} // namespace zel
