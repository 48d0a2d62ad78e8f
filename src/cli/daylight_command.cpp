// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/daylight_command.h"

#include "cli/record_command.h"

#include "cfg/conversions.h"
#include "cli/cli_arguments.h"
#include "cli/schedule_command.h"
#include "cli/sunmoon_command.h"
#include "daylight/daylight.h"
#include "files/ini_document.h"
#include "files/settings_file.h"
#include "lang/translate.h"
#include "sunmoon/geo_report.h"

#include <QMap>
#include <QRegularExpression>
#include <QTimeZone>

#include <cstring>
#include <stdexcept>

namespace zel {

namespace {

// Rows from index 128 on cannot be exchanged with a controller.
constexpr int MostRows = 128;
constexpr int LongestAcclimation = 3650;

// Options with a value, the flags given, each at most once.
struct Options {
    QMap<QString, QString> Values;
    QStringList Flags;

    QString Value(const char* name) const { return Values.value(QLatin1String(name)); }
    bool Has(const char* name) const { return Values.contains(QLatin1String(name)); }
};

Options ParseOptions(const QString& command, const QStringList& arguments,
                     const QStringList& valueOptions, const QStringList& flags) {
    Options options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (flags.contains(argument) && !options.Flags.contains(argument)) {
            options.Flags << argument;
        } else if (!valueOptions.contains(argument)) {
            Refuse(QStringLiteral("%1: unknown or repeated argument \"%2\"")
                       .arg(command, Shown(argument)));
        } else if (options.Values.contains(argument)) {
            Refuse(QStringLiteral("%1: %2 is given twice").arg(command, argument));
        } else if (i + 1 >= arguments.size()) {
            Refuse(QStringLiteral("%1: %2 needs a value").arg(command, argument));
        } else {
            options.Values.insert(argument, arguments[++i]);
        }
    }
    return options;
}

int WholeNumber(const QString& option, const QString& text, int min, int max) {
    static const QRegularExpression digits(QStringLiteral("^\\d{1,6}$"));
    const int value = digits.match(text).hasMatch() ? text.toInt() : -1;
    if (value < min || value > max)
        Refuse(QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
                   .arg(option)
                   .arg(min)
                   .arg(max)
                   .arg(Shown(text)));
    return value;
}

double Percentage(const QString& option, const QString& text) {
    double percent = 0;
    if (!ParsePercent(text, percent))
        Refuse(QStringLiteral("%1 must be a percentage from 0 to 100, not \"%2\"")
                   .arg(option, Shown(text)));
    return percent;
}

// "W=80,B=40": the channels named take the value, the others keep theirs.
template <typename Read>
void ChannelList(const QString& option, const QString& text, ChannelValues& values, Read read) {
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString letter = item.section(QLatin1Char('='), 0, 0).trimmed().toUpper();
        int channel = 0;
        while (channel < ChannelCount && ChannelLetter(channel) != letter)
            ++channel;
        if (channel == ChannelCount || !item.contains(QLatin1Char('=')))
            Refuse(QStringLiteral("%1 takes W=, R=, G= and B= separated by commas, not \"%2\"")
                       .arg(option, Shown(item)));
        values[size_t(channel)] = read(item.section(QLatin1Char('='), 1));
    }
}

struct DesignOptions {
    std::optional<double> Latitude;
    std::optional<double> Longitude;
    QDate Date;
    QTimeZone Zone = QTimeZone::systemTimeZone();
    std::optional<double> Noon;
    ChannelValues MaxLevel = {FullLevel, FullLevel, FullLevel, FullLevel};
    ChannelValues Dawn{};
    ChannelValues Dusk{};
    std::optional<int> Rows;
    bool Apply = false;
};

DesignOptions ParseDesignOptions(const QStringList& arguments) {
    const Options options = ParseOptions(
        QStringLiteral("schedule design"), arguments,
        {"--lat", "--lon", "--date", "--tz", "--noon", "--max", "--dawn", "--dusk", "--rows"},
        {"--apply"});
    DesignOptions design;
    if (options.Has("--lat") != options.Has("--lon"))
        Refuse(QStringLiteral("schedule design: give --lat and --lon together"));
    if (options.Has("--lat")) {
        design.Latitude = ParseDegreesArgument(QStringLiteral("--lat"), options.Value("--lat"), 90);
        design.Longitude =
            ParseDegreesArgument(QStringLiteral("--lon"), options.Value("--lon"), 180);
    }
    if (!options.Has("--date"))
        Refuse(QStringLiteral("schedule design: --date YYYY-MM-DD is missing"));
    design.Date = ParseDateArgument(QStringLiteral("--date"), options.Value("--date"));
    if (options.Has("--tz")) {
        design.Zone = QTimeZone(options.Value("--tz").toUtf8());
        if (!design.Zone.isValid())
            Refuse(QStringLiteral("--tz must name a time zone such as Europe/Berlin, not \"%1\"")
                       .arg(Shown(options.Value("--tz"))));
    }
    if (options.Has("--noon")) {
        const QTime noon = QTime::fromString(options.Value("--noon"), QStringLiteral("HH:mm"));
        if (!noon.isValid())
            Refuse(QStringLiteral("--noon must be a time of day HH:MM, not \"%1\"")
                       .arg(Shown(options.Value("--noon"))));
        design.Noon = noon.hour() * 60 + noon.minute();
    }
    if (options.Has("--max"))
        ChannelList(QStringLiteral("--max"), options.Value("--max"), design.MaxLevel,
                    [](const QString& text) {
                        return int(LevelFromPercent(Percentage(QStringLiteral("--max"), text)));
                    });
    for (const auto& [name, values] :
         {std::pair{"--dawn", &design.Dawn}, std::pair{"--dusk", &design.Dusk}}) {
        if (options.Has(name))
            ChannelList(QLatin1String(name), options.Value(name), *values,
                        [name = QLatin1String(name)](const QString& text) {
                            return WholeNumber(name, text, 0, MinutesPerDay / 2);
                        });
    }
    if (options.Has("--rows"))
        design.Rows = WholeNumber(QStringLiteral("--rows"), options.Value("--rows"), 2, MostRows);
    design.Apply = options.Flags.contains(QStringLiteral("--apply"));
    return design;
}

// The day fitted to `rows` rows; a polar night is refused, there is nothing to design.
DaylightFit Design(const DesignOptions& options, double latitude, double longitude, int rows,
                   const std::vector<ScheduleRow>& current) {
    DaylightRequest request;
    request.Latitude = latitude;
    request.Longitude = longitude;
    request.Year = options.Date.year();
    request.Month = options.Date.month();
    request.Day = options.Date.day();
    request.UtcOffsetMinutes =
        UtcOffsetMinutes(QDateTime(options.Date, QTime(12, 0)), options.Zone);
    request.NoonMinutes = options.Noon;
    request.MaxLevel = options.MaxLevel;
    request.DawnMinutes = options.Dawn;
    request.DuskMinutes = options.Dusk;
    const DaylightCurve curve = DesignDaylight(request);
    if (curve.PolarNight)
        Refuse(QStringLiteral("the sun does not rise at %1, %2 on %3: every level would be zero; "
                              "nothing is designed or sent")
                   .arg(latitude)
                   .arg(longitude)
                   .arg(options.Date.toString(Qt::ISODate)));
    return FitScheduleRows(curve, rows, current);
}

// Stores the rows that differ from the controller's and marks them for upload; the count.
int SendChangedRows(DeviceState& state, const std::vector<ScheduleRow>& rows) {
    std::vector<int> changed;
    {
        std::lock_guard<std::mutex> guard(state.RequestLock);
        for (size_t index = 0; index < rows.size() && index < state.Schedule.size(); ++index) {
            if (std::memcmp(&rows[index], &state.Schedule[index], sizeof(ScheduleRow)) != 0) {
                state.Schedule[index] = rows[index];
                changed.push_back(int(index));
            }
        }
    }
    for (const int index : changed)
        state.MarkRow(index);
    return int(changed.size());
}

class DesignSchedule : public RecordCommand {
public:
    DesignSchedule(DesignOptions options, bool json) : options_(std::move(options)), json_(json) {}

    void Run(DeviceState& state, QTextStream& out) override {
        const SettingsRecords records = CopyRecords(state);
        const int controllerRows = int(records.Schedule.size());
        const int rows = std::min(options_.Rows.value_or(controllerRows), controllerRows);
        // Without a place of its own the day is designed for the controller's.
        const double latitude = options_.Latitude.value_or(records.Config.Lat * 0.1);
        const double longitude = options_.Longitude.value_or(records.Config.Lon * 0.1);
        std::vector<ScheduleRow> designed =
            Design(options_, latitude, longitude, rows, records.Schedule).Rows;
        designed.resize(size_t(controllerRows), designed.back());
        PrintSchedule(designed, false, json_, out);
        if (options_.Apply)
            SendChangedRows(state, designed);
    }

private:
    DesignOptions options_;
    bool json_;
};

class Acclimate : public RecordCommand {
public:
    Acclimate(QString baseline, QDate start, int days, double from, double to, QDate today)
        : baseline_(std::move(baseline)), start_(start), days_(days), from_(from), to_(to),
          today_(today) {}

    void Run(DeviceState& state, QTextStream& out) override {
        const size_t count = CopyRecords(state).Schedule.size();
        if (count == 0)
            Refuse(QStringLiteral("the controller has no schedule rows"));
        std::vector<ScheduleRow> baseline;
        try {
            baseline = ReadScheduleRows(baseline_, count);
        } catch (const FileError& error) {
            Refuse(QString::fromStdString(error.what()));
        }
        const QString problem = ScheduleRowsProblem(baseline);
        if (!problem.isEmpty())
            Refuse(QStringLiteral("%1 is no baseline: %2").arg(baseline_, problem));
        const int day = int(start_.daysTo(today_));
        const double factor = AcclimationFactor(day, days_, from_, to_);
        const int sent = SendChangedRows(state, ScaleLevels(baseline, factor));
        out << "Factor: " << QString::number(factor * 100, 'f', 2) << " % (day " << day << " of "
            << days_ << ")\n"
            << "Rows sent: " << sent << Qt::endl;
    }

private:
    QString baseline_;
    QDate start_;
    int days_;
    double from_;
    double to_;
    QDate today_;
};

} // namespace

std::unique_ptr<RecordCommand> ParseDesignCommand(const QStringList& arguments, bool json) {
    return std::make_unique<DesignSchedule>(ParseDesignOptions(arguments), json);
}

int RunOfflineDesign(const QStringList& arguments, bool json, QTextStream& out, QTextStream& err) {
    try {
        const DesignOptions options = ParseDesignOptions(arguments);
        if (options.Apply)
            Refuse(QStringLiteral("schedule design: --apply needs --port PORT"));
        if (!options.Latitude)
            Refuse(QStringLiteral("schedule design: without --port give --lat and --lon"));
        PrintSchedule(Design(options, *options.Latitude, *options.Longitude,
                             options.Rows.value_or(DefaultDesignRows), {})
                          .Rows,
                      false, json, out);
        return ExitOk;
    } catch (const std::exception& error) {
        err << "zelphorin-cli: " << error.what() << Qt::endl;
        return ExitBadFile;
    }
}

std::unique_ptr<RecordCommand> ParseAcclimateCommand(const QStringList& arguments) {
    const Options options =
        ParseOptions(QStringLiteral("acclimate"), arguments,
                     {"--baseline", "--start", "--days", "--from", "--to", "--today"}, {});
    for (const char* required : {"--baseline", "--start", "--days", "--from"})
        if (!options.Has(required))
            Refuse(QStringLiteral("acclimate: %1 is missing").arg(QLatin1String(required)));
    const QString baseline = options.Value("--baseline");
    try {
        IniDocument::FromFile(baseline); // unreadable: refused before the controller is touched
    } catch (const FileError& error) {
        Refuse(QString::fromStdString(error.what()));
    }
    const QDate today = options.Has("--today")
                            ? ParseDateArgument(QStringLiteral("--today"), options.Value("--today"))
                            : QDate::currentDate();
    return std::make_unique<Acclimate>(
        baseline, ParseDateArgument(QStringLiteral("--start"), options.Value("--start")),
        WholeNumber(QStringLiteral("--days"), options.Value("--days"), 1, LongestAcclimation),
        Percentage(QStringLiteral("--from"), options.Value("--from")),
        options.Has("--to") ? Percentage(QStringLiteral("--to"), options.Value("--to")) : 100.0,
        today);
}

} // namespace zel
