// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/channels_page.h"

#include "cfg/conversions.h"
#include "cfg/device_actions.h"
#include "files/settings_keys.h"
#include "host/status_texts.h"
#include "lang/translate.h"
#include "main/views/channel_colors.h"
#include "main/widgets/range_mark.h"
#include "main/widgets/widgets.h"

#include <QSignalBlocker>

namespace zel {

namespace {
constexpr int ColorCodes = 16;

int Tag(const QObject* control) {
    return control->property("Tag").toInt();
}
} // namespace

ChannelsPage::ChannelsPage(DeviceState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName(QStringLiteral("tsChannels"));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(18);
    rows_.reserve(ChannelCount);
    for (int channel = 0; channel < ChannelCount; ++channel)
        rows_.emplace_back(channel, grid, channel, this);
    lblModeNote = Named(new QLabel(this), QStringLiteral("lblModeNote"));
    lblModeNote->setWordWrap(true);
    grid->addWidget(lblModeNote, ChannelCount, 0, 1, grid->columnCount());
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(ChannelCount + 1, 1);
    ConnectHandlers();
}

void ChannelsPage::ConnectHandlers() {
    for (ChannelRow& row : rows_) {
        // Key, wheel, page click and drag all arrive as slider actions; a refresh's setValue
        // never does.
        connect(row.trb, &QAbstractSlider::actionTriggered, this,
                [this, slider = row.trb] { trbAChange(slider); });
        connect(row.edt, &QLineEdit::textEdited, this,
                [this, edit = row.edt] { edtAChange(edit); });
        RestoreWhenLeft(row.edt, this,
                        [this, &row] { row.SetLevel(state_.Info.Channel[row.Channel]); });
        connect(row.btnOff, &QPushButton::clicked, this,
                [this, button = row.btnOff] { btnOffAClick(button); });
        connect(row.btnOn, &QPushButton::clicked, this,
                [this, button = row.btnOn] { btnOnAClick(button); });
        connect(row.cmbName, &QComboBox::activated, this,
                [this, box = row.cmbName] { cmbNameAChange(box); });
    }
}

void ChannelsPage::FillColorNames() {
    for (ChannelRow& row : rows_) {
        const QSignalBlocker quiet(row.cmbName);
        row.cmbName->setUpdatesEnabled(false);
        row.cmbName->clear();
        for (int code = 0; code < ColorCodes; ++code)
            row.cmbName->addItem(ColorCaption(code));
        row.cmbName->setUpdatesEnabled(true);
    }
}

void ChannelsPage::ShowLevels(const InfoBlock& info) {
    for (ChannelRow& row : rows_)
        row.ShowLevel(info.Channel[row.Channel]);
}

void ChannelsPage::SetConnected(bool connected, uint8_t mode) {
    connected_ = connected;
    for (ChannelRow& row : rows_) {
        SetEnabled({row.lblName, row.cmbName}, connected);
        row.SetLevelControlsEnabled(connected && mode == ModeManual);
    }
    ShowModeNote(mode);
}

void ChannelsPage::ShowMode(uint8_t mode) {
    for (ChannelRow& row : rows_)
        row.SetLevelControlsEnabled(mode == ModeManual);
    ShowModeNote(mode);
}

// Without a connection no mode is known: the note says nothing rather than a start value.
void ChannelsPage::ShowModeNote(uint8_t mode) {
    if (!connected_)
        lblModeNote->clear();
    else
        lblModeNote->setText(TranslateFormat(mode == ModeManual
                                                 ? QStringLiteral("ChannelsManual")
                                                 : QStringLiteral("ChannelsNotManual"),
                                             {ModeName(mode)}));
}

void ChannelsPage::ShowColorName(int channel, int code) {
    ChannelRow& row = Row(channel);
    if (!DroppedDown(row.cmbName))
        row.cmbName->setCurrentIndex(code < row.cmbName->count() ? code : -1);
    SetBackground(row.edt, ChannelDisplayColor(code));
}

// ---- Handlers -----------------------------------------------------------------------------

void ChannelsPage::trbAChange(QSlider* slider) {
    if (!slider->hasFocus())
        return;
    // The action is reported before the value follows the new position.
    const int position = slider->sliderPosition();
    const int channel = Tag(slider);
    if (state_.Info.Channel[channel] == position)
        return;
    SetChannelLevel(state_, channel, position);
    Row(channel).edt->setText(LevelText(position));
}

void ChannelsPage::edtAChange(QLineEdit* edit) {
    if (!edit->hasFocus())
        return;
    double percent = 0;
    try {
        percent = ParseNumber(edit->text());
    } catch (const ConversionError&) {
        return; // not a number (yet): slider and record keep their values
    }
    const int64_t typed = LevelFromPercent(percent);
    if (!ShowTyped(edit, JudgeTyped(LevelRange, typed),
                   RangeBetween(LevelText(LevelRange.Min), LevelText(LevelRange.Max))))
        return;
    const int level = int(typed);
    const int channel = Tag(edit);
    Row(channel).trb->setValue(level);
    SetChannelLevel(state_, channel, level);
}

void ChannelsPage::btnOffAClick(QPushButton* button) {
    SetLevel(Tag(button), 0);
}

void ChannelsPage::btnOnAClick(QPushButton* button) {
    SetLevel(Tag(button), FullLevel);
}

void ChannelsPage::SetLevel(int channel, int level) {
    SetChannelLevel(state_, channel, level);
    Row(channel).SetLevel(level);
}

void ChannelsPage::cmbNameAChange(QComboBox* box) {
    const int code = box->currentIndex();
    const int channel = Tag(box);
    if (code < 0 || state_.Config.ColorName[channel] == code)
        return;
    state_.Config.ColorName[channel] = uint8_t(code);
    state_.Raise(rqSetConfig);
    emit ChannelNamesChanged();
}

} // namespace zel
