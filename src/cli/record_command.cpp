// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/record_command.h"

#include <algorithm>
#include <stdexcept>

namespace zel {

namespace {

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

} // namespace

[[noreturn]] void Refuse(const QString& message) {
    throw std::invalid_argument(message.toStdString());
}

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

} // namespace zel
