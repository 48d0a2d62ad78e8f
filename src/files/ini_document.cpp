// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ini_document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace zel {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// A byte range of the document, trimmed of blanks.
struct Span {
    const char* Data;
    size_t Size;
};

Span Trimmed(const char* begin, const char* end) {
    while (begin < end && IsBlank(*begin))
        ++begin;
    while (end > begin && IsBlank(end[-1]))
        --end;
    return {begin, size_t(end - begin)};
}

// Orders names as INI lookups see them: ASCII letters without regard to case.
int CompareFolded(Span a, Span b) {
    const size_t common = std::min(a.Size, b.Size);
    for (size_t i = 0; i < common; ++i) {
        const unsigned char x = FoldAscii(a.Data[i]);
        const unsigned char y = FoldAscii(b.Data[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.Size == b.Size ? 0 : (a.Size < b.Size ? -1 : 1);
}

Span SpanOf(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}

// The first item whose name (as name(item) gives it) matches wanted, or null.
template <class Items, class Name>
auto FindNamed(Items& items, const QByteArray& wanted, Name name) -> decltype(&*items.begin()) {
    for (auto& item : items)
        if (CompareFolded(SpanOf(name(item)), SpanOf(wanted)) == 0)
            return &item;
    return nullptr;
}

const auto KeyOfPair = [](const auto& pair) -> const QByteArray& { return pair.Key; };
const auto NameOfSection = [](const auto& section) -> const QByteArray& { return section.Name; };

QString Described(const char* what, const QString& path, const QString& reason) {
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(what), QDir::toNativeSeparators(path), reason);
}

const QByteArray LineEnd = QByteArrayLiteral("\r\n");

} // namespace

IniDocument::IniDocument(QByteArray bytes) : Bytes(std::move(bytes)) {
    // Line offsets are 32 bits wide; the file reader refuses such sizes with a clearer text.
    if (Bytes.size() > MaxIniFileSize)
        throw FileError(QStringLiteral("Settings text larger than %1 bytes").arg(MaxIniFileSize));
    Parse();
    BuildIndexes();
}

IniDocument IniDocument::FromFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw FileError(Described("Cannot read", path, QStringLiteral("No such file")));
    // A pipe or device could block the reader or never end.
    if (!info.isFile())
        throw FileError(Described("Cannot read", path, QStringLiteral("Not a regular file")));
    if (info.size() > MaxIniFileSize)
        throw FileError(Described("Cannot read", path, QStringLiteral("File too large")));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(Described("Cannot read", path, file.errorString()));
    QByteArray bytes = file.read(MaxIniFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw FileError(Described("Cannot read", path, file.errorString()));
    if (bytes.size() > MaxIniFileSize)
        throw FileError(Described("Cannot read", path, QStringLiteral("File too large")));
    return IniDocument(std::move(bytes));
}

void IniDocument::Parse() {
    const char* data = Bytes.constData();
    const size_t size = size_t(Bytes.size());
    int32_t current = -1;
    // An editor's UTF-8 byte-order mark would otherwise hide the first section.
    size_t pos = Bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < size) {
        const char* const stop =
            std::find_if(data + pos, data + size, [](char c) { return c == '\n' || c == '\r'; });
        const size_t contentEnd = size_t(stop - data);
        size_t next = contentEnd;
        if (next < size)
            next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;
        const Span text = Trimmed(data + pos, data + contentEnd);
        if (text.Size == 0) {
            pos = next; // blank lines are not kept: the writer sets its own
            continue;
        }
        Line line;
        line.Start = uint32_t(pos);
        line.Length = uint32_t(contentEnd - pos);
        const char* close = text.Data[0] == '['
                                ? static_cast<const char*>(std::memchr(text.Data, ']', text.Size))
                                : nullptr;
        if (close) {
            const Span name = Trimmed(text.Data + 1, close);
            current = int32_t(Sections.size());
            Sections.push_back(
                {uint32_t(Lines.size()), uint32_t(name.Data - data), uint32_t(name.Size)});
        } else if (current >= 0) {
            const void* equals = std::memchr(text.Data, '=', text.Size);
            if (equals && Trimmed(text.Data, static_cast<const char*>(equals)).Size > 0)
                line.Equals = uint32_t(static_cast<const char*>(equals) - (data + pos));
        }
        line.Section = current;
        Lines.push_back(line);
        pos = next;
    }
}

void IniDocument::BuildIndexes() {
    SectionsByName.resize(Sections.size());
    std::iota(SectionsByName.begin(), SectionsByName.end(), 0u);
    std::sort(SectionsByName.begin(), SectionsByName.end(), [this](uint32_t a, uint32_t b) {
        const int order = CompareFolded(SpanOf(SectionName(a)), SpanOf(SectionName(b)));
        return order != 0 ? order < 0 : a < b;
    });

    for (uint32_t i = 0; i < Lines.size(); ++i)
        if (Lines[i].Equals != NoEquals)
            KeyLinesBySection.push_back(i);
    std::sort(KeyLinesBySection.begin(), KeyLinesBySection.end(), [this](uint32_t a, uint32_t b) {
        if (Lines[a].Section != Lines[b].Section)
            return Lines[a].Section < Lines[b].Section;
        const int order = CompareFolded(SpanOf(KeyOf(a)), SpanOf(KeyOf(b)));
        return order != 0 ? order < 0 : a < b;
    });
}

// The accessors below hand out views of Bytes without copying (QByteArray::fromRawData).
QByteArray IniDocument::LineBytes(uint32_t line) const {
    return QByteArray::fromRawData(Bytes.constData() + Lines[line].Start, Lines[line].Length);
}

QByteArray IniDocument::SectionName(uint32_t section) const {
    return QByteArray::fromRawData(Bytes.constData() + Sections[section].NameStart,
                                   Sections[section].NameLength);
}

QByteArray IniDocument::KeyOf(uint32_t line) const {
    const char* start = Bytes.constData() + Lines[line].Start;
    const Span key = Trimmed(start, start + Lines[line].Equals);
    return QByteArray::fromRawData(key.Data, qsizetype(key.Size));
}

QByteArray IniDocument::ValueOf(uint32_t line) const {
    const char* start = Bytes.constData() + Lines[line].Start;
    const Span value = Trimmed(start + Lines[line].Equals + 1, start + Lines[line].Length);
    return QByteArray::fromRawData(value.Data, qsizetype(value.Size));
}

std::optional<uint32_t> IniDocument::FindSection(const QByteArray& name) const {
    const auto found =
        std::lower_bound(SectionsByName.begin(), SectionsByName.end(), name,
                         [this](uint32_t s, const QByteArray& n) {
                             return CompareFolded(SpanOf(SectionName(s)), SpanOf(n)) < 0;
                         });
    if (found == SectionsByName.end() ||
        CompareFolded(SpanOf(SectionName(*found)), SpanOf(name)) != 0)
        return std::nullopt;
    return *found;
}

std::optional<uint32_t> IniDocument::FindKeyLine(uint32_t section, const QByteArray& key) const {
    const auto before = [this, section, &key](uint32_t line) {
        if (Lines[line].Section != int32_t(section))
            return Lines[line].Section < int32_t(section);
        return CompareFolded(SpanOf(KeyOf(line)), SpanOf(key)) < 0;
    };
    const auto found =
        std::lower_bound(KeyLinesBySection.begin(), KeyLinesBySection.end(), key,
                         [&before](uint32_t line, const QByteArray&) { return before(line); });
    if (found == KeyLinesBySection.end() || Lines[*found].Section != int32_t(section) ||
        CompareFolded(SpanOf(KeyOf(*found)), SpanOf(key)) != 0)
        return std::nullopt;
    return *found;
}

bool IniDocument::HasSection(QStringView section) const {
    const QByteArray name = section.toLatin1();
    return FindSection(name) || FindNamed(AddedSections, name, NameOfSection);
}

std::optional<QString> IniDocument::Value(QStringView section, QStringView key) const {
    const QByteArray sectionName = section.toLatin1();
    const QByteArray keyName = key.toLatin1();
    const std::vector<Pair>* pairs = nullptr;
    if (const auto s = FindSection(sectionName)) {
        if (const auto line = FindKeyLine(*s, keyName)) {
            const auto changed = Changed.find(*line);
            return QString::fromLatin1(changed != Changed.end() ? changed->second : ValueOf(*line));
        }
        const auto appended = Appended.find(*s);
        if (appended != Appended.end())
            pairs = &appended->second;
    } else if (const AddedSection* added = FindNamed(AddedSections, sectionName, NameOfSection)) {
        pairs = &added->Pairs;
    }
    if (pairs)
        if (const Pair* pair = FindNamed(*pairs, keyName, KeyOfPair))
            return QString::fromLatin1(pair->Value);
    return std::nullopt;
}

std::optional<uint64_t> IniDocument::Integer(QStringView section, QStringView key) const {
    const std::optional<QString> text = Value(section, key);
    return text ? ParseIniInteger(*text) : std::nullopt;
}

void IniDocument::SetValue(QStringView section, QStringView key, const QString& value) {
    // Names and values come from this program's tables and numbers; a line break or a '='
    // in a key would split the entry when the file is read again.
    Q_ASSERT(!section.contains(QLatin1Char('\n')) && !section.contains(QLatin1Char(']')));
    Q_ASSERT(!key.contains(QLatin1Char('\n')) && !key.contains(QLatin1Char('=')));
    Q_ASSERT(!value.contains(QLatin1Char('\n')));
    const QByteArray sectionName = section.toLatin1();
    const QByteArray keyName = key.toLatin1();
    const QByteArray bytes = value.toLatin1();
    std::vector<Pair>* pairs = nullptr;
    if (const auto s = FindSection(sectionName)) {
        if (const auto line = FindKeyLine(*s, keyName)) {
            Changed[*line] = bytes;
            return;
        }
        pairs = &Appended[*s];
    } else if (AddedSection* added = FindNamed(AddedSections, sectionName, NameOfSection)) {
        pairs = &added->Pairs;
    } else {
        AddedSections.push_back({sectionName, {}});
        pairs = &AddedSections.back().Pairs;
    }
    if (Pair* pair = FindNamed(*pairs, keyName, KeyOfPair))
        pair->Value = bytes;
    else
        pairs->push_back({keyName, bytes});
}

QByteArray IniDocument::ToBytes() const {
    QByteArray out;
    out.reserve(Bytes.size() + 2 * qsizetype(Lines.size()) + 4096);
    const auto writePairs = [&out](const std::vector<Pair>& pairs) {
        for (const Pair& pair : pairs)
            out += pair.Key + '=' + pair.Value + LineEnd;
    };
    int32_t open = -1;
    const auto closeSection = [&] {
        if (open < 0)
            return;
        const auto appended = Appended.find(uint32_t(open));
        if (appended != Appended.end())
            writePairs(appended->second);
        out += LineEnd;
    };
    for (uint32_t i = 0; i < Lines.size(); ++i) {
        const Line& line = Lines[i];
        if (line.Section >= 0 && Sections[size_t(line.Section)].HeaderLine == i) {
            closeSection();
            open = line.Section;
        } else if (line.Equals != NoEquals) {
            const auto changed = Changed.find(i);
            if (changed != Changed.end()) {
                out += KeyOf(i) + '=' + changed->second + LineEnd;
                continue;
            }
        }
        out += LineBytes(i) + LineEnd;
    }
    closeSection();
    for (const AddedSection& added : AddedSections) {
        out += '[' + added.Name + ']' + LineEnd;
        writePairs(added.Pairs);
        out += LineEnd;
    }
    return out;
}

void IniDocument::Save(const QString& path) const {
    SaveFileAtomically(path, ToBytes());
}

void SaveFileAtomically(const QString& path, const QByteArray& bytes) {
    // QSaveFile writes beside the target and renames only after everything was written, so
    // a full disk or a lost folder leaves the previous file as it was. Unbuffered: a short
    // write while flushing its buffer does not stop commit() (Qt 6.4), so the truncated file
    // would replace the old one; written directly, the short count shows here.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileError(Described("Cannot write", path, file.errorString()));
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        // A short write (disk full) leaves no error set; say what happened instead.
        const QString reason = written < 0 || file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("Only %1 of %2 bytes written (disk full?)")
                                         .arg(written)
                                         .arg(bytes.size());
        file.cancelWriting();
        throw FileError(Described("Cannot write", path, reason));
    }
    if (!file.commit())
        throw FileError(Described("Cannot write", path, file.errorString()));
}

std::optional<IniInteger> ReadIniInteger(QStringView text) {
    IniInteger number;
    int base = 10;
    qsizetype i = 0;
    if (text.size() > 2 && text[0] == QLatin1Char('0') &&
        (text[1] == QLatin1Char('x') || text[1] == QLatin1Char('X'))) {
        base = 16;
        i = 2;
    } else if (text.startsWith(QLatin1Char('$'))) {
        base = 16;
        i = 1;
    } else if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) {
        number.Negative = text[0] == QLatin1Char('-');
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    number.Hexadecimal = base == 16;
    // Unsigned arithmetic wraps, so an absurdly long number still yields its low bits.
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || digit >= base)
            return std::nullopt;
        if (number.Magnitude > (UINT64_MAX - uint64_t(digit)) / uint64_t(base))
            number.Overflow = true;
        number.Magnitude = number.Magnitude * uint64_t(base) + uint64_t(digit);
    }
    return number;
}

std::optional<uint64_t> ParseIniInteger(QStringView text) {
    const std::optional<IniInteger> number = ReadIniInteger(text);
    if (!number)
        return std::nullopt;
    return number->Negative ? uint64_t(0) - number->Magnitude : number->Magnitude;
}

} // namespace zel
