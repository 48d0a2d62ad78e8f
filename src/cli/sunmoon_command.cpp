// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/sunmoon_command.h"

#include "cli/cli_arguments.h"
#include "lang/translate.h"
#include "sunmoon/geo_report.h"

#include <QDate>
#include <QJsonDocument>
#include <QMap>
#include <QRegularExpression>

#include <cmath>
#include <exception>
#include <optional>
#include <stdexcept>

namespace zel {
namespace {

// A bad command line; Message is the line for stderr, Status the exit status: a malformed
// command line, or a value that cannot be used.
struct UsageError {
    QString Message;
    int Status = ExitUsage;
};

struct SunMoonOptions {
    double Latitude = 0;
    double Longitude = 0;
    GeoMoment Moment;
    std::optional<int> Tz;
    bool Json = false;
    int Language = LanguageNotGiven;
};

constexpr int WestmostZone = -12;
constexpr int EastmostZone = 14;

void ParseDate(const QString& text, GeoMoment& moment) {
    const QDate date = ParseDateArgument(QStringLiteral("--date"), text);
    moment.Year = date.year();
    moment.Month = date.month();
    moment.Day = date.day();
}

void ParseTime(const QString& text, GeoMoment& moment) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}):(\\d{2})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    const QTime time =
        match.hasMatch() ? QTime(match.captured(1).toInt(), match.captured(2).toInt()) : QTime();
    if (!time.isValid())
        throw UsageError{QStringLiteral("--time must be a time of day HH:MM, not \"%1\"").arg(text),
                         ExitBadFile};
    moment.Hour = time.hour();
    moment.Minute = time.minute();
}

int ParseTz(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[+-]?\\d{1,2}$"));
    const int hours = pattern.match(text).hasMatch() ? text.toInt() : EastmostZone + 1;
    if (hours < WestmostZone || hours > EastmostZone)
        throw UsageError{QStringLiteral("--tz must be whole hours from %1 to %2, not \"%3\"")
                             .arg(WestmostZone)
                             .arg(EastmostZone)
                             .arg(text),
                         ExitBadFile};
    return hours;
}

SunMoonOptions ParseArguments(const QStringList& arguments) {
    const QStringList valueOptions = {QStringLiteral("--lat"), QStringLiteral("--lon"),
                                      QStringLiteral("--date"), QStringLiteral("--time"),
                                      QStringLiteral("--tz")};
    SunMoonOptions options;
    QMap<QString, QString> values;
    bool commandSeen = false;
    for (int i = 0; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        // "--lat=50" is "--lat 50".
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        QString joined;
        if (argument.startsWith(QLatin1String("--")) && equals > 0) {
            joined = argument.mid(equals + 1);
            argument.truncate(equals);
        }
        if (argument == QLatin1String("sunmoon") && !commandSeen) {
            commandSeen = true;
        } else if (argument == QLatin1String("--json")) {
            options.Json = true;
        } else if (argument == QLatin1String("--english") ||
                   argument == QLatin1String("--german")) {
            const int chosen =
                argument == QLatin1String("--english") ? LanguageEnglish : LanguageGerman;
            if (options.Language != LanguageNotGiven && options.Language != chosen)
                throw UsageError{QStringLiteral("--english and --german exclude each other")};
            options.Language = chosen;
        } else if (!valueOptions.contains(argument)) {
            throw UsageError{QStringLiteral("unknown argument \"%1\"").arg(argument)};
        } else if (values.contains(argument)) {
            throw UsageError{QStringLiteral("%1 is given twice").arg(argument)};
        } else if (equals > 0) {
            values.insert(argument, joined);
        } else if (i + 1 >= arguments.size()) {
            throw UsageError{QStringLiteral("%1 needs a value").arg(argument)};
        } else {
            values.insert(argument, arguments.at(++i));
        }
    }
    for (const QString& required : valueOptions.mid(0, 4)) {
        if (!values.contains(required))
            throw UsageError{QStringLiteral("%1 is missing").arg(required)};
    }
    options.Latitude = ParseDegreesArgument(QStringLiteral("--lat"), values.value("--lat"), 90);
    options.Longitude = ParseDegreesArgument(QStringLiteral("--lon"), values.value("--lon"), 180);
    ParseDate(values.value("--date"), options.Moment);
    ParseTime(values.value("--time"), options.Moment);
    if (values.contains("--tz"))
        options.Tz = ParseTz(values.value("--tz"));
    return options;
}

} // namespace

// JulianDay has no century correction: outside these dates every result would be a day off.
const QDate FirstValidDate(1900, 3, 1);
const QDate LastValidDate(2100, 2, 28);

double ParseDegreesArgument(const QString& option, const QString& text, int limit) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(std::fabs(value) <= limit)) // also refuses nan and inf
        throw std::invalid_argument(
            QStringLiteral("%1 must be a number of degrees from -%2 to %2, not \"%3\"")
                .arg(option)
                .arg(limit)
                .arg(text)
                .toStdString());
    return value;
}

QDate ParseDateArgument(const QString& option, const QString& text) {
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        throw std::invalid_argument(
            QStringLiteral("%1 must be an existing date YYYY-MM-DD, not \"%2\"")
                .arg(option, text)
                .toStdString());
    if (date < FirstValidDate || date > LastValidDate)
        throw std::invalid_argument(QStringLiteral("%1 must lie between %2 and %3, not \"%4\"")
                                        .arg(option, FirstValidDate.toString(Qt::ISODate),
                                             LastValidDate.toString(Qt::ISODate), text)
                                        .toStdString());
    return date;
}

int RunSunMoonCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    SunMoonOptions options;
    try {
        options = ParseArguments(arguments);
    } catch (const UsageError& error) {
        err << "sunmoon: " << error.Message << Qt::endl;
        return error.Status;
    } catch (const std::invalid_argument& error) {
        err << "sunmoon: " << error.what() << Qt::endl;
        return ExitBadFile;
    }
    if (options.Language != LanguageNotGiven)
        SelectLanguage(options.Language);
    try {
        const int tz = options.Tz ? *options.Tz : TimeZoneHours(options.Moment);
        const GeoSky sky = ComputeGeoSky(options.Latitude, options.Longitude, options.Moment, tz);
        if (options.Json) {
            out << QString::fromUtf8(QJsonDocument(GeoSkyJson(sky)).toJson(QJsonDocument::Compact))
                << '\n';
        } else {
            QString text;
            AppendGeoLabelText(sky, QLocale::c(), text);
            out << text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        }
    } catch (const std::exception& error) {
        // Nothing partial on stdout: a script must not mistake half a result for a whole one.
        err << "sunmoon: cannot compute this place and moment: " << error.what() << Qt::endl;
        return 1;
    }
    out.flush();
    return 0;
}

} // namespace zel
