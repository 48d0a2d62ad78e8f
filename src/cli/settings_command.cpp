#include "cli/settings_command.h"

#include "cli/daylight_command.h"

#include "cli/json_writer.h"
#include "cli/schedule_command.h"

#include <QRegularExpression>

#include <algorithm>
#include <stdexcept>

namespace zel {

namespace {

[[noreturn]] void Refuse(const QString& message) {
    throw std::invalid_argument(message.toStdString());
}

// A name longer than this is no setting, and comparing it with every name would be slow.
constexpr qsizetype MaxComparedLength = 64;

int EditDistance(const QString& a, const QString& b) {
    std::vector<int> previous(size_t(b.size()) + 1);
    std::vector<int> current(previous.size());
    for (size_t j = 0; j < previous.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int substitution = previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[size_t(j)] =
                std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous.back();
}

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

QString Shown(const QString& typed) {
    constexpr qsizetype Length = 40;
    return typed.size() <= Length ? typed : typed.left(Length) + QStringLiteral("...");
}

void RefuseUnknownSetting(const QString& typed, const QStringList& candidates) {
    QString message = QStringLiteral("unknown setting \"%1\"").arg(Shown(typed));
    if (typed.size() <= MaxComparedLength) {
        const QString lower = typed.toLower();
        const QString lowerKey = lower.mid(lower.indexOf(QLatin1Char('.')) + 1);
        std::vector<std::pair<int, QString>> close;
        for (const QString& candidate : candidates) {
            const QString name = candidate.toLower();
            const QString key = name.mid(name.indexOf(QLatin1Char('.')) + 1);
            const int distance = std::min(EditDistance(lower, name), EditDistance(lowerKey, key));
            if (distance <= std::max<qsizetype>(1, key.size() / 3))
                close.emplace_back(distance, candidate);
        }
        std::stable_sort(close.begin(), close.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        QStringList names;
        for (size_t i = 0; i < close.size() && i < 3; ++i)
            names << close[i].second;
        if (!names.isEmpty())
            message += QStringLiteral("; did you mean ") + names.join(QStringLiteral(", ")) +
                       QLatin1Char('?');
    }
    Refuse(message);
}

std::vector<Assignment> ParseAssignments(const QStringList& arguments, const KeyLookup& lookup,
                                         QTextStream& err) {
    std::vector<Assignment> assignments;
    for (const QString& argument : arguments) {
        // The command line is decoded as UTF-8: a byte that is not shows as U+FFFD.
        if (argument.contains(QChar::ReplacementCharacter))
            Refuse(QStringLiteral("\"%1\" is not valid UTF-8").arg(Shown(argument)));
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals < 0)
            Refuse(QStringLiteral("\"%1\" is not KEY=VALUE").arg(Shown(argument)));
        if (equals == 0)
            Refuse(QStringLiteral("\"%1\" names no setting before the \"=\"").arg(Shown(argument)));
        QString name;
        const SettingsKey& key = lookup(argument.left(equals), name);
        QString error;
        const std::optional<uint64_t> bits =
            ParseSettingValue(key, argument.mid(equals + 1), error);
        if (!bits)
            Refuse(name + QStringLiteral(": ") + error);
        const auto same = std::find_if(assignments.begin(), assignments.end(),
                                       [&](const Assignment& a) { return a.Key == &key; });
        if (same != assignments.end()) {
            err << "zelphorin-cli: " << name << " is given twice; the last value counts" << '\n';
            err.flush();
            assignments.erase(same);
        }
        assignments.push_back({name, &key, *bits});
    }
    return assignments;
}

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
