// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/settings_command.h"

#include "cli/daylight_command.h"

#include "cli/json_writer.h"
#include "cli/schedule_command.h"

#include <QRegularExpression>

#include <algorithm>
#include <stdexcept>

namespace zel {

namespace {

// A row section is the row index in plain decimal, as the file names it.
std::optional<int> RowSection(const QString& section) {
    static const QRegularExpression index(QStringLiteral("^(0|[1-9][0-9]{0,2})$"));
    if (!index.match(section).hasMatch() || section.toInt() > 255)
        return std::nullopt;
    return section.toInt();
}

QStringList ConfigurationNames() {
    QStringList names;
    for (const SettingsKey& key : ConfigurationKeys())
        names << key.Section + QLatin1Char('.') + key.Key;
    return names;
}

// A setting named Section.Key: a configuration key, or a row key when the section is a row
// index (Row >= 0).
struct NamedSetting {
    const SettingsKey* Key = nullptr;
    int Row = -1;
    QString Section; // as the file names it
};

NamedSetting FindSetting(const QString& typed) {
    const qsizetype dot = typed.indexOf(QLatin1Char('.'));
    const QString section = dot < 0 ? QString() : typed.left(dot);
    const QString key = dot < 0 ? typed : typed.mid(dot + 1);
    QStringList candidates = ConfigurationNames();
    if (const std::optional<int> row = RowSection(section)) {
        if (const SettingsKey* rowKey = FindRowKey(key))
            return {rowKey, *row, section};
        for (const SettingsKey& rowKey : RowKeys())
            candidates << section + QLatin1Char('.') + rowKey.Key;
    } else if (dot > 0) {
        if (const SettingsKey* found = FindConfigurationKey(section, key))
            return {found, -1, found->Section};
    }
    RefuseUnknownSetting(typed, candidates);
}

// get [KEY...]: every setting, or the named ones, as the settings file holds them.
class GetCommand : public RecordCommand {
public:
    GetCommand(std::vector<NamedSetting> selection, bool json)
        : selection_(std::move(selection)), json_(json) {}

    void Run(DeviceState& state, QTextStream& out) override {
        const std::vector<SettingsEntry> all = SettingsEntries(CopyRecords(state));
        std::vector<SettingsEntry> shown;
        for (const NamedSetting& setting : selection_) {
            const auto entry = std::find_if(all.begin(), all.end(), [&](const SettingsEntry& e) {
                return e.Section == setting.Section && e.Key == setting.Key->Key;
            });
            if (entry == all.end())
                Refuse(QStringLiteral("unknown setting \"%1.%2\": the controller has %3 schedule "
                                      "rows")
                           .arg(setting.Section, setting.Key->Key)
                           .arg(state.Schedule.size()));
            shown.push_back(*entry);
        }
        if (selection_.empty())
            shown = all;
        if (json_)
            PrintJson(shown, out);
        else
            for (const SettingsEntry& entry : shown)
                out << entry.Section << '.' << entry.Key << '=' << entry.Value << '\n';
        out.flush();
    }

private:
    // One object per section, in the order the sections first appear.
    static void PrintJson(const std::vector<SettingsEntry>& entries, QTextStream& out) {
        QStringList sections;
        for (const SettingsEntry& entry : entries)
            if (!sections.contains(entry.Section))
                sections << entry.Section;
        JsonWriter json;
        json.BeginObject();
        for (const QString& section : sections) {
            json.Key(section).BeginObject();
            for (const SettingsEntry& entry : entries)
                if (entry.Section == section)
                    json.Key(entry.Key).Number(entry.Value);
            json.EndObject();
        }
        json.EndObject();
        out << json.Text() << '\n';
    }

    std::vector<NamedSetting> selection_;
    bool json_;
};

uint32_t WriteFlag(FieldBlock block) {
    switch (block) {
    case FieldBlock::Config:
        return rqSetConfig;
    case FieldBlock::Expert:
        return rqSetExpert;
    case FieldBlock::ExpertWeather:
        return rqSetExpertWeather;
    case FieldBlock::Row:
        break;
    }
    Q_UNREACHABLE();
}

// set KEY=VALUE...: changes the fields and raises the write of each block touched, once.
class SetCommand : public RecordCommand {
public:
    explicit SetCommand(std::vector<Assignment> assignments)
        : assignments_(std::move(assignments)) {}

    void Run(DeviceState& state, QTextStream&) override {
        uint32_t writes = 0;
        {
            std::lock_guard<std::mutex> guard(state.RequestLock);
            for (const Assignment& assignment : assignments_) {
                StoreField(BlockBytes(state, assignment.Key->Block), *assignment.Key,
                           assignment.Bits);
                writes |= WriteFlag(assignment.Key->Block);
            }
        }
        state.Raise(writes);
    }

private:
    std::vector<Assignment> assignments_;
};

} // namespace

QString SettingNamesText() {
    QString text = ConfigurationNames().join(QLatin1Char('\n')) + QLatin1Char('\n');
    for (const SettingsKey& key : RowKeys())
        text += QStringLiteral("N.") + key.Key + QLatin1Char('\n');
    return text;
}

std::unique_ptr<RecordCommand> ParseRecordCommand(const QString& command,
                                                  const QStringList& arguments, bool json,
                                                  QTextStream& err) {
    if (command == QLatin1String("get")) {
        std::vector<NamedSetting> selection;
        for (const QString& argument : arguments) {
            const NamedSetting setting = FindSetting(argument);
            const bool repeated =
                std::any_of(selection.begin(), selection.end(), [&](const NamedSetting& s) {
                    return s.Key == setting.Key && s.Section == setting.Section;
                });
            if (!repeated)
                selection.push_back(setting);
        }
        return std::make_unique<GetCommand>(std::move(selection), json);
    }
    if (command == QLatin1String("set")) {
        const KeyLookup configurationKey = [](const QString& typed,
                                              QString& canonical) -> const SettingsKey& {
            const NamedSetting setting = FindSetting(typed);
            if (setting.Row >= 0)
                Refuse(QStringLiteral("\"%1\" is a key of a schedule row: change it with "
                                      "\"schedule set %2 %3=VALUE\"")
                           .arg(Shown(typed), setting.Section, setting.Key->Key));
            canonical = setting.Section + QLatin1Char('.') + setting.Key->Key;
            return *setting.Key;
        };
        return std::make_unique<SetCommand>(ParseAssignments(arguments, configurationKey, err));
    }
    if (command == QLatin1String("schedule"))
        return ParseScheduleCommand(arguments, json, err);
    if (command == QLatin1String("acclimate"))
        return ParseAcclimateCommand(arguments);
    return nullptr;
}

} // namespace zel
