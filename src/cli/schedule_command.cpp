// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/schedule_command.h"

#include "cfg/conversions.h"
#include "cli/daylight_command.h"
#include "cli/json_writer.h"
#include "daylight/daylight.h"
#include "lang/translate.h"

#include <QRegularExpression>

#include <stdexcept>

namespace zel {

namespace {

// Row indexes travel as a signed byte: rows from 128 on cannot be exchanged.
constexpr int LastSendableRow = 127;

// Scripts read these, so neither the language nor the locale changes them.
QString Percent(int level) {
    return QString::number(LevelPercent(level), 'f', 2);
}
QString OnOff(bool on) {
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}
QString TimeText(const ScheduleRow& row) {
    return QStringLiteral("%1:%2")
        .arg(int(row.Hour), 2, 10, QLatin1Char('0'))
        .arg(int(row.Minute), 2, 10, QLatin1Char('0'));
}

// The names of the columns, the text table's header and the JSON object's keys alike.
QStringList Columns(bool geo) {
    return {QStringLiteral("Line"),    geo ? QStringLiteral("Alt") : QStringLiteral("Time"),
            ChannelLetter(0),          ChannelLetter(1),
            ChannelLetter(2),          ChannelLetter(3),
            QStringLiteral("Clouds"),  QStringLiteral("Thunderstorms"),
            QStringLiteral("Display"), QStringLiteral("JMPPin")};
}

void PrintTable(const std::vector<ScheduleRow>& schedule, bool geo, QTextStream& out) {
    std::vector<QStringList> lines = {Columns(geo)};
    for (size_t index = 0; index < schedule.size(); ++index) {
        const ScheduleRow& row = schedule[index];
        QStringList cells = {QString::number(index),
                             geo ? QString::number(AltitudeDegrees(row.Alt).value_or(0), 'f', 2)
                                 : TimeText(row)};
        for (int channel = 0; channel < ChannelCount; ++channel)
            cells << Percent(row.Color16[channel]);
        cells << OnOff(row.Switch & SwitchClouds) << OnOff(row.Switch & SwitchStorms)
              << OnOff(row.Switch & SwitchDisplay) << QString::number(row.Timer);
        lines.push_back(cells);
    }
    std::vector<qsizetype> widths(size_t(lines.front().size()), 0);
    for (const QStringList& cells : lines)
        for (qsizetype column = 0; column < cells.size(); ++column)
            widths[size_t(column)] = std::max(widths[size_t(column)], cells[column].size());
    for (const QStringList& cells : lines) {
        QStringList padded;
        for (qsizetype column = 0; column < cells.size(); ++column)
            padded << cells[column].rightJustified(widths[size_t(column)]);
        out << padded.join(QStringLiteral("  ")) << '\n';
    }
    out << "Dose (hours at full level):";
    if (const auto dose = DailyDoseHours(schedule)) {
        for (int channel = 0; channel < ChannelCount; ++channel)
            out << ' ' << ChannelLetter(channel) << ' '
                << QString::number((*dose)[size_t(channel)], 'f', 2);
        out << '\n';
    } else {
        out << " - (the rows are not a day in time order)\n";
    }
}

// The rows by the names and values of the settings file, so that what a script reads it can
// give back to "schedule set"; the switches of Switch also by name.
void PrintJson(const std::vector<ScheduleRow>& schedule, QTextStream& out) {
    JsonWriter json;
    json.BeginObject().Key(u"Rows").BeginArray();
    for (size_t index = 0; index < schedule.size(); ++index) {
        const ScheduleRow& row = schedule[index];
        json.BeginObject().Key(u"Row").Number(int64_t(index));
        for (const SettingsKey& key : RowKeys())
            json.Key(key.Key).Number(FieldValue(reinterpret_cast<const unsigned char*>(&row), key));
        json.Key(u"Clouds").Bool(row.Switch & SwitchClouds);
        json.Key(u"Thunderstorms").Bool(row.Switch & SwitchStorms);
        json.Key(u"Display").Bool(row.Switch & SwitchDisplay);
        json.EndObject();
    }
    json.EndArray().Key(u"Dose");
    if (const auto dose = DailyDoseHours(schedule)) {
        json.BeginObject();
        for (int channel = 0; channel < ChannelCount; ++channel)
            json.Key(ChannelLetter(channel)).Number((*dose)[size_t(channel)], 2);
        json.EndObject();
    } else {
        json.Null();
    }
    out << json.EndObject().Text() << '\n';
}

class ShowSchedule : public RecordCommand {
public:
    explicit ShowSchedule(bool json) : json_(json) {}

    void Run(DeviceState& state, QTextStream& out) override {
        const SettingsRecords records = CopyRecords(state);
        PrintSchedule(records.Schedule, records.Config.Mode == ModeGeo, json_, out);
    }

private:
    bool json_;
};

class SetScheduleRow : public RecordCommand {
public:
    SetScheduleRow(int row, std::vector<Assignment> assignments)
        : row_(row), assignments_(std::move(assignments)) {}

    void Run(DeviceState& state, QTextStream&) override {
        {
            std::lock_guard<std::mutex> guard(state.RequestLock);
            if (size_t(row_) >= state.Schedule.size())
                Refuse(QStringLiteral("there is no row %1: the controller has %2 schedule rows")
                           .arg(row_)
                           .arg(state.Schedule.size()));
            auto* bytes = reinterpret_cast<unsigned char*>(&state.Schedule[size_t(row_)]);
            for (const Assignment& assignment : assignments_)
                StoreField(bytes, *assignment.Key, assignment.Bits);
        }
        state.MarkRow(row_);
    }

private:
    int row_;
    std::vector<Assignment> assignments_;
};

} // namespace

void PrintSchedule(const std::vector<ScheduleRow>& rows, bool geo, bool json, QTextStream& out) {
    if (json)
        PrintJson(rows, out);
    else
        PrintTable(rows, geo, out);
    out.flush();
}

std::unique_ptr<RecordCommand> ParseScheduleCommand(const QStringList& arguments, bool json,
                                                    QTextStream& err) {
    if (arguments.isEmpty())
        return std::make_unique<ShowSchedule>(json);
    if (arguments.first() == QLatin1String("design"))
        return ParseDesignCommand(arguments.mid(1), json);
    if (arguments.first() != QLatin1String("set") || json)
        Refuse(QStringLiteral("schedule takes no arguments but --json, set N FIELD=VALUE... or "
                              "design ..."));
    static const QRegularExpression index(QStringLiteral("^[0-9]{1,3}$"));
    const QString row = arguments.value(1);
    if (!index.match(row).hasMatch() || row.toInt() > LastSendableRow)
        Refuse(QStringLiteral("schedule set: the row must be a number from 0 to %1, not \"%2\"")
                   .arg(LastSendableRow)
                   .arg(Shown(row)));
    if (arguments.size() < 3)
        Refuse(QStringLiteral("schedule set %1: give at least one FIELD=VALUE").arg(row));
    const int rowIndex = row.toInt();
    const KeyLookup rowKey = [rowIndex](const QString& typed,
                                        QString& canonical) -> const SettingsKey& {
        const SettingsKey* key = FindRowKey(typed);
        if (!key) {
            QStringList names;
            for (const SettingsKey& candidate : RowKeys())
                names << candidate.Key;
            RefuseUnknownSetting(typed, names);
        }
        canonical = QString::number(rowIndex) + QLatin1Char('.') + key->Key;
        return *key;
    };
    return std::make_unique<SetScheduleRow>(rowIndex,
                                            ParseAssignments(arguments.mid(2), rowKey, err));
}

} // namespace zel
