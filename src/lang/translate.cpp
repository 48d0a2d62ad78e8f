// SPDX-License-Identifier: GPL-3.0-or-later
#include "lang/translate.h"

#include <QFile>
#include <QHash>
#include <QLocale>

#include <atomic>

// The tables live in a static library, whose resource initialiser the linker would drop.
static bool InitLanguageResources() {
    Q_INIT_RESOURCE(lang);
    return true;
}

namespace zel {
namespace {

struct LanguageTable {
    QVector<std::pair<QString, QString>> messages;
    QVector<std::pair<QString, QString>> form;
    QHash<QString, QString> messageByKey; // lower-case key, as INI lookups ignore case
};

LanguageTable LoadTable(const QString& resource) {
    LanguageTable table;
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return table;
    QString section;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || line.startsWith(QLatin1Char(';')))
            continue;
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (section == QLatin1String("Messages")) {
            if (!table.messageByKey.contains(key.toLower())) {
                table.messages.append({key, value});
                table.messageByKey.insert(key.toLower(), value);
            }
        } else if (section == QLatin1String("frmPHORIN")) {
            table.form.append({key, value});
        }
    }
    return table;
}

const LanguageTable& Table(int language) {
    static const bool resourcesReady = InitLanguageResources();
    Q_UNUSED(resourcesReady);
    static const LanguageTable english = LoadTable(QStringLiteral(":/lang/english.ini"));
    static const LanguageTable german = LoadTable(QStringLiteral(":/lang/german.ini"));
    return language == LanguageGerman ? german : english;
}

std::atomic<int> currentLanguage{LanguageEnglish};

} // namespace

int SelectLanguage(int code) {
    if (code == LanguageNotGiven)
        code = QLocale().language() == QLocale::German ? LanguageGerman : LanguageEnglish;
    if (code != LanguageGerman)
        code = LanguageEnglish;
    Table(code); // load before any other thread can ask
    currentLanguage.store(code);
    return code;
}

int CurrentLanguage() {
    return currentLanguage.load();
}

QString ExpandLineBreaks(QString text) {
    return text.replace(QLatin1String("\\n"), QLatin1String("\r\n"));
}

bool FormatPlaces(const QString& pattern, const QStringList& arguments, QString& result) {
    QString out;
    int next = 0;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%')) {
            out += c;
            continue;
        }
        const QChar kind = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (kind == QLatin1Char('%')) {
            out += c;
        } else if (kind == QLatin1Char('s') && next < arguments.size()) {
            out += arguments.at(next++);
        } else {
            return false;
        }
        ++i;
    }
    result = out;
    return true;
}

QString Translate(const QString& key) {
    return TranslateFormat(key, {});
}

QString TranslateFormat(const QString& key, const QStringList& arguments) {
    const LanguageTable& table = Table(CurrentLanguage());
    const auto found = table.messageByKey.constFind(key.toLower());
    const QString text = ExpandLineBreaks(found == table.messageByKey.cend() ? key : *found);
    QString formatted;
    return FormatPlaces(text, arguments, formatted) ? formatted : text;
}

QString ColorCaption(int code) {
    static const char* const keys[] = {
        "ColorUnnamed",   "ColorWhite",  "ColorRed",       "ColorGreen",
        "ColorBlue",      "ColorUV",     "ColorMoonLight", "ColorColdWhite",
        "ColorWarmWhite", "ColorYellow", "ColorPurple",    "ColorRoyalBlue",
        "ColorCyan",      "ColorViolet", "ColorOrange",    "ColorDeepRed"};
    return Translate(QLatin1String(code >= 1 && code <= 15 ? keys[code] : keys[0]));
}

QString ChannelLetter(int channel) {
    static const char letters[] = {'W', 'R', 'G', 'B'};
    return channel >= 0 && channel < 4 ? QString(QLatin1Char(letters[channel])) : QString();
}

const QVector<std::pair<QString, QString>>& FormTexts() {
    return Table(CurrentLanguage()).form;
}
const QVector<std::pair<QString, QString>>& FormTexts(int language) {
    return Table(language).form;
}
const QVector<std::pair<QString, QString>>& MessageTexts(int language) {
    return Table(language).messages;
}

} // namespace zel
