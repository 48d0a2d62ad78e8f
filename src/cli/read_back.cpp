// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/read_back.h"

#include <cstring>

namespace zel {

namespace {

template <class Record> Record Flipped(Record record) {
    auto* bytes = reinterpret_cast<unsigned char*>(&record);
    for (size_t i = 0; i < sizeof record; ++i)
        bytes[i] = static_cast<unsigned char>(~bytes[i]);
    return record;
}

template <class Record> bool SameBytes(const Record& a, const Record& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Lines for the keys of `keys` that lie in `block` and differ between sent and read.
void Compare(const std::vector<SettingsKey>& keys, FieldBlock block, const QString& rowSection,
             const unsigned char* sent, const unsigned char* read, QStringList& mismatches) {
    for (const SettingsKey& key : keys) {
        if (key.Block != block)
            continue;
        const int64_t expected = FieldValue(sent, key);
        const int64_t actual = FieldValue(read, key);
        if (expected != actual)
            mismatches << QStringLiteral("%1.%2: sent %3, read back %4")
                              .arg(key.Section.isEmpty() ? rowSection : key.Section, key.Key)
                              .arg(expected)
                              .arg(actual);
    }
}

template <class Record>
void CompareBlock(std::optional<Record>& expected, const Record& read, FieldBlock block,
                  QStringList& mismatches) {
    Compare(ConfigurationKeys(), block, QString(),
            reinterpret_cast<const unsigned char*>(&*expected),
            reinterpret_cast<const unsigned char*>(&read), mismatches);
    expected.reset();
}

} // namespace

void ReadBack::Expect(DeviceState& state) {
    std::lock_guard<std::mutex> guard(state.RequestLock);
    const uint32_t requests = state.SnapshotHeld();
    if (requests & rqSetConfig)
        config_ = state.Config;
    if (requests & rqSetExpert)
        expert_ = state.Expert;
    if (requests & rqSetExpertWeather)
        expertWeather_ = state.ExpertWeather;
    for (size_t row = 0; row < state.RowDirty.size() && row < state.Schedule.size(); ++row)
        if (state.RowDirty[row])
            rows_[row] = state.Schedule[row];
    rowsExpected_ = !rows_.empty();
}

bool ReadBack::Empty() const {
    return !config_ && !expert_ && !expertWeather_ && !rowsExpected_;
}

void ReadBack::RequestReads(DeviceState& state) {
    uint32_t reads = 0;
    {
        std::lock_guard<std::mutex> guard(state.RequestLock);
        for (const auto& [row, sent] : rows_)
            if (row < state.Schedule.size())
                state.Schedule[row] = Flipped(sent);
    }
    if (config_)
        reads |= rqGetConfig;
    if (expert_)
        reads |= rqGetExpert;
    if (expertWeather_)
        reads |= rqGetExpertWeather;
    if (rowsExpected_)
        reads |= rqGetSchedule;
    state.Raise(reads);
}

bool ReadBack::Read(FieldBlock block, DeviceState& state) {
    switch (block) {
    case FieldBlock::Config:
        if (config_)
            CompareBlock(config_, state.Config, block, mismatches_);
        break;
    case FieldBlock::Expert:
        if (expert_)
            CompareBlock(expert_, state.Expert, block, mismatches_);
        break;
    case FieldBlock::ExpertWeather:
        if (expertWeather_)
            CompareBlock(expertWeather_, state.ExpertWeather, block, mismatches_);
        break;
    case FieldBlock::Row:
        for (const auto& [row, sent] : rows_) {
            const QString section = QString::number(row);
            if (row >= state.Schedule.size() || SameBytes(state.Schedule[row], Flipped(sent))) {
                mismatches_ << QStringLiteral("row %1: not read back").arg(section);
                rowsMissing_ = true;
                continue;
            }
            Compare(RowKeys(), FieldBlock::Row, section,
                    reinterpret_cast<const unsigned char*>(&sent),
                    reinterpret_cast<const unsigned char*>(&state.Schedule[row]), mismatches_);
        }
        rowsExpected_ = false;
        break;
    }
    return Empty();
}

} // namespace zel
