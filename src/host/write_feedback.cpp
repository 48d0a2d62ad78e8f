// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/write_feedback.h"

#include "lang/date_time_text.h"
#include "lang/translate.h"

#include <QtAlgorithms>

#include <algorithm>
#include <mutex>

namespace zel {

namespace {
// The writes the user's input raises.
constexpr uint32_t UserWrites = rqAllWrites | rqSaveEEPROM | rqToggleCloud | rqToggleStorm;

// The message key naming what a write sends.
QString WhatKey(uint32_t flag) {
    switch (flag) {
    case rqSetConfig:
        return QStringLiteral("SentConfig");
    case rqSetExpert:
        return QStringLiteral("SentExpert");
    case rqSetExpertWeather:
        return QStringLiteral("SentExpertWeather");
    case rqSetTime:
        return QStringLiteral("SentTime");
    case rqSetChannels:
        return QStringLiteral("SentChannels");
    case rqSetRow:
        return QStringLiteral("SentCurrentRow");
    case rqSaveEEPROM:
        return QStringLiteral("SentSaveEEPROM");
    case rqToggleCloud:
        return QStringLiteral("SentCloud");
    case rqToggleStorm:
        return QStringLiteral("SentStorm");
    default:
        return QStringLiteral("SentSchedule");
    }
}

// "3, 5–7": runs of consecutive rows joined.
QString RowList(const std::set<int>& rows) {
    QStringList parts;
    for (auto it = rows.begin(); it != rows.end();) {
        const int first = *it;
        int last = first;
        while (++it != rows.end() && *it == last + 1)
            last = *it;
        parts << (last == first
                      ? QString::number(first)
                      : QString::number(first) + QStringLiteral("–") + QString::number(last));
    }
    return parts.join(QStringLiteral(", "));
}

QString RowsText(const std::set<int>& rows) {
    return TranslateFormat(QStringLiteral("SentRows"), {RowList(rows)});
}
} // namespace

WriteFeedback::WriteFeedback(DeviceState& state, QObject* parent, int quietMs)
    : QObject(parent), state_(state) {
    state_.SetRaiseListener([this](uint32_t flags) {
        if (flags & UserWrites)
            QMetaObject::invokeMethod(this, &WriteFeedback::Update, Qt::QueuedConnection);
    });
    quiet_.setInterval(quietMs);
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &WriteFeedback::WriteAcknowledged);
}

WriteFeedback::~WriteFeedback() {
    state_.SetRaiseListener({});
}

void WriteFeedback::WriteStarted(uint32_t flag) {
    inFlight_ |= flag;
    Update();
}

void WriteFeedback::WriteFinished(uint32_t flag, bool ok) {
    inFlight_ &= ~flag;
    if (flag == rqSetSchedule) {
        // Rows the link would not send (never read).
        Failed(Translate(QStringLiteral("SentSchedule")));
    } else if (ok) {
        if (std::find(blocksAcknowledged_.begin(), blocksAcknowledged_.end(), flag) ==
            blocksAcknowledged_.end())
            blocksAcknowledged_.push_back(flag);
        Acknowledged();
    } else {
        Failed(Translate(WhatKey(flag)));
    }
    if (importing_ && (import_.Blocks & flag)) {
        import_.Blocks &= ~flag;
        import_.BlocksAcknowledged += ok ? 1 : 0;
    }
    EndImportIfDone(!ok);
    Update();
}

void WriteFeedback::RowWriteFinished(int row, bool ok) {
    inFlight_ &= ~uint32_t(rqSetSchedule);
    if (ok) {
        rowsAcknowledged_.insert(row);
        Acknowledged();
    } else {
        Failed(RowsText({row}));
    }
    if (importing_) {
        ++import_.RowsAnswered;
        import_.RowsAcknowledged += ok ? 1 : 0;
    }
    EndImportIfDone(!ok);
    Update();
}

void WriteFeedback::Acknowledged() {
    lastAcknowledged_ = QDateTime::currentDateTime();
    quiet_.start();
}

// A failure drops whatever was still to be sent; what was acknowledged before is said first.
void WriteFeedback::Failed(const QString& what) {
    WriteAcknowledged();
    emit LogLine(TranslateFormat(QStringLiteral("WriteFailed"), {what}));
}

void WriteFeedback::WriteAcknowledged() {
    quiet_.stop();
    for (const uint32_t flag : blocksAcknowledged_)
        emit LogLine(
            TranslateFormat(QStringLiteral("WriteAcknowledged"), {Translate(WhatKey(flag))}));
    if (!rowsAcknowledged_.empty())
        emit LogLine(
            TranslateFormat(QStringLiteral("WriteAcknowledged"), {RowsText(rowsAcknowledged_)}));
    blocksAcknowledged_.clear();
    rowsAcknowledged_.clear();
}

void WriteFeedback::ImportStarted() {
    const uint32_t blocks = state_.Snapshot() & rqImportConfig;
    import_ = {blocks, int(qPopulationCount(blocks)), 0, DirtyRows(), 0, 0};
    importing_ = true;
    Update();
}

void WriteFeedback::EndImportIfDone(bool failed) {
    if (!importing_)
        return;
    if (!failed && (import_.Blocks != 0 || import_.RowsAnswered < import_.RowCount))
        return;
    importing_ = false;
    WriteAcknowledged();
    emit LogLine(TranslateFormat(
        QStringLiteral("ImportSent"),
        {QString::number(import_.BlocksAcknowledged), QString::number(import_.BlockCount),
         QString::number(import_.RowsAcknowledged), QString::number(import_.RowCount)}));
}

void WriteFeedback::LinkChanged(bool connected) {
    connected_ = connected;
    inFlight_ = 0;
    WriteAcknowledged();
    EndImportIfDone(true);
    Update();
}

int WriteFeedback::DirtyRows() const {
    std::lock_guard<std::mutex> guard(state_.RequestLock);
    int dirty = 0;
    for (size_t row = 0; row < state_.RowDirty.size() && row < state_.Schedule.size(); ++row)
        dirty += state_.RowDirty[row] ? 1 : 0;
    return dirty;
}

void WriteFeedback::Update() {
    const bool pending = connected_ && (inFlight_ != 0 || (state_.Snapshot() & UserWrites) != 0);
    QString text;
    if (pending)
        text = Translate(QStringLiteral("Sending"));
    else if (lastAcknowledged_.isValid())
        text = TranslateFormat(QStringLiteral("LastWriteAcknowledged"),
                               {LocalTimeText(lastAcknowledged_.time())});
    if (text == status_)
        return;
    status_ = text;
    emit StatusChanged(text);
}

} // namespace zel
