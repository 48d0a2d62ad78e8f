// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/expert_page.h"

#include "cfg/conversions.h"
#include "cfg/device_actions.h"
#include "cfg/time_zone_rule.h"
#include "main/widgets/range_mark.h"
#include "main/widgets/widgets.h"

#include <QDate>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zel {

namespace {
QRadioButton* AddRadio(QLayout* layout, const char* name, QWidget* parent) {
    auto* button = Named(new QRadioButton(parent), QLatin1String(name));
    layout->addWidget(button);
    return button;
}

QGroupBox* MakeGroup(const char* name, QWidget* parent) {
    return Named(new QGroupBox(parent), QLatin1String(name));
}

// The fields of the nine time zone edits, in their order.
const std::array<Field, 9>& TimeZoneFields() {
    static const std::array<Field, 9> fields{ZEL_FIELD(Expert.Bias),
                                             ZEL_FIELD(Expert.StandardMonth),
                                             ZEL_FIELD(Expert.StandardDay),
                                             ZEL_FIELD(Expert.StandardHour),
                                             ZEL_FIELD(Expert.StandardDayOfWeek),
                                             ZEL_FIELD(Expert.DaylightMonth),
                                             ZEL_FIELD(Expert.DaylightDay),
                                             ZEL_FIELD(Expert.DaylightHour),
                                             ZEL_FIELD(Expert.DaylightDayOfWeek)};
    return fields;
}
} // namespace

ExpertPage::ExpertPage(DeviceState& state, QWidget* parent)
    : QWidget(parent), state_(state), fields_(new FieldBinder(state, this)) {
    setObjectName(QStringLiteral("tsExpert"));

    auto* timing = new QGridLayout;
    lblPWMPrescaler = Named(new QLabel(this), QStringLiteral("lblPWMPrescaler"));
    timing->addWidget(lblPWMPrescaler, 0, 0, 1, 2);
    edtPWMPrescaler = AddEdit(timing, 1, QStringLiteral("edtPWMPrescaler"), this);
    lblTWIBitrate = Named(new QLabel(this), QStringLiteral("lblTWIBitrate"));
    timing->addWidget(lblTWIBitrate, 2, 0, 1, 2);
    edtTWIBitrate = AddEdit(timing, 3, QStringLiteral("edtTWIBitrate"), this);
    edtTempOffset = AddEdit(timing, 4, QStringLiteral("edtTempOffset"), this);
    edtBalanceSumRamp = AddEdit(timing, 5, QStringLiteral("edtBalanceSumRamp"), this);
    edtRandomInit = AddEdit(timing, 6, QStringLiteral("edtRandomInit"), this);

    gbxFanMode = MakeGroup("gbxFanMode", this);
    auto* fan = new QGridLayout(gbxFanMode);
    auto* fanButtons = new QVBoxLayout;
    rbtFMOLED = AddRadio(fanButtons, "rbtFMOLED", gbxFanMode);
    rbtFMOWater = AddRadio(fanButtons, "rbtFMOWater", gbxFanMode);
    rbtFMOWaterMaster = AddRadio(fanButtons, "rbtFMOWaterMaster", gbxFanMode);
    fan->addLayout(fanButtons, 0, 0, 1, 3);
    edtTempWaterLow = AddEdit(fan, 1, QStringLiteral("edtTempWaterLow"), gbxFanMode);
    edtTempWaterHigh = new LabeledEdit(QStringLiteral("edtTempWaterHigh"), QString(), gbxFanMode);
    edtTempWaterHigh->setMaximumWidth(90);
    fan->addWidget(edtTempWaterHigh, 1, 2);

    gbxChartMode = MakeGroup("gbxChartMode", this);
    auto* chart = new QGridLayout(gbxChartMode);
    auto* chartButtons = new QVBoxLayout;
    rbtCHMTempWater = AddRadio(chartButtons, "rbtCHMTempWater", gbxChartMode);
    rbtCHMTempBoard = AddRadio(chartButtons, "rbtCHMTempBoard", gbxChartMode);
    rbtCHMVoltage = AddRadio(chartButtons, "rbtCHMVoltage", gbxChartMode);
    rbtCHMTempSlave = AddRadio(chartButtons, "rbtCHMTempSlave", gbxChartMode);
    chart->addLayout(chartButtons, 0, 0, 1, 2);
    edtChartInterval = AddEdit(chart, 1, QStringLiteral("edtChartInterval"), gbxChartMode);
    edtChartScale = AddEdit(chart, 2, QStringLiteral("edtChartScale"), gbxChartMode);

    gbxCloudTemp = MakeGroup("gbxCloudTemp", this);
    auto* cloudTemp = new QGridLayout(gbxCloudTemp);
    edtCloudTempWater = AddEdit(cloudTemp, 0, QStringLiteral("edtCloudTempWater"), gbxCloudTemp);
    edtCloudTempBoard = AddEdit(cloudTemp, 1, QStringLiteral("edtCloudTempBoard"), gbxCloudTemp);

    gbxTimeZone = MakeGroup("gbxTimeZone", this);
    auto* zone = new QGridLayout(gbxTimeZone);
    const char* const zoneNames[] = {
        "edtTimeZoneBias",         "edtTimeZoneStandardMonth",     "edtTimeZoneStandardDay",
        "edtTimeZoneStandardHour", "edtTimeZoneStandardDayOfWeek", "edtTimeZoneDaylightMonth",
        "edtTimeZoneDaylightDay",  "edtTimeZoneDaylightHour",      "edtTimeZoneDaylightDayOfWeek"};
    LabeledEdit** const zoneEdits[] = {
        &edtTimeZoneBias,         &edtTimeZoneStandardMonth,     &edtTimeZoneStandardDay,
        &edtTimeZoneStandardHour, &edtTimeZoneStandardDayOfWeek, &edtTimeZoneDaylightMonth,
        &edtTimeZoneDaylightDay,  &edtTimeZoneDaylightHour,      &edtTimeZoneDaylightDayOfWeek};
    for (int i = 0; i < 9; ++i)
        *zoneEdits[i] = AddEdit(zone, i, QLatin1String(zoneNames[i]), gbxTimeZone);
    btnApplyTZI = Named(new QPushButton(gbxTimeZone), QStringLiteral("btnApplyTZI"));
    zone->addWidget(btnApplyTZI, 9, 1);

    lblLanguage = Named(new QLabel(this), QStringLiteral("lblLanguage"));
    cmbLanguage = Named(new QComboBox(this), QStringLiteral("cmbLanguage"));
    auto* language = new QHBoxLayout;
    language->addWidget(lblLanguage);
    language->addWidget(cmbLanguage);
    language->addStretch(1);

    gbxTemperatureUnit = MakeGroup("gbxTemperatureUnit", this);
    auto* unit = new QVBoxLayout(gbxTemperatureUnit);
    rbtCelsius = AddRadio(unit, "rbtCelsius", gbxTemperatureUnit);
    rbtFahrenheit = AddRadio(unit, "rbtFahrenheit", gbxTemperatureUnit);
    gbxTimeFormat = MakeGroup("gbxTimeFormat", this);
    auto* clock = new QVBoxLayout(gbxTimeFormat);
    rbt12h = AddRadio(clock, "rbt12h", gbxTimeFormat);
    rbt24h = AddRadio(clock, "rbt24h", gbxTimeFormat);
    gbxLCDFormat = MakeGroup("gbxLCDFormat", this);
    auto* display = new QVBoxLayout(gbxLCDFormat);
    rbt16x2 = AddRadio(display, "rbt16x2", gbxLCDFormat);
    rbt20x4 = AddRadio(display, "rbt20x4", gbxLCDFormat);
    auto* formats = new QHBoxLayout;
    formats->addWidget(gbxTemperatureUnit);
    formats->addWidget(gbxTimeFormat);
    formats->addWidget(gbxLCDFormat);

    gbxLightningMask = MakeGroup("gbxLightningMask", this);
    auto* masks = new QGridLayout(gbxLightningMask);
    for (int channel = 0; channel < ChannelCount; ++channel) {
        auto* edit = new LabeledEdit(QStringLiteral("edtLightningMask") + QString::number(channel),
                                     QString(), gbxLightningMask);
        edit->setProperty("Tag", channel);
        edit->setMaximumWidth(60);
        masks->addWidget(edit->EditLabel(), 0, 2 * channel);
        masks->addWidget(edit, 0, 2 * channel + 1);
        edtLightningMask[size_t(channel)] = edit;
    }

    auto* left = new QVBoxLayout;
    left->addLayout(timing);
    left->addWidget(gbxFanMode);
    left->addWidget(gbxChartMode);
    left->addWidget(gbxCloudTemp);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(gbxTimeZone);
    right->addLayout(language);
    right->addLayout(formats);
    right->addWidget(gbxLightningMask);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
    BindFields();
}

void ExpertPage::BindFields() {
    const std::tuple<LabeledEdit*, Field, const FieldFormat&> edits[] = {
        {edtPWMPrescaler, ZEL_FIELD(Expert.PWMPrescaler), IntegerFormat},
        {edtTWIBitrate, ZEL_FIELD(Expert.TWIBitrate), IntegerFormat},
        {edtTempOffset, ZEL_FIELD(Expert.TempOffset), CelsiusFormat},
        {edtTempWaterLow, ZEL_FIELD(Expert.TempWaterLow), TemperatureFormat},
        {edtTempWaterHigh, ZEL_FIELD(Expert.TempWaterHigh), TemperatureFormat},
        {edtChartInterval, ZEL_FIELD(Expert.ChartInterval), IntegerFormat},
        {edtChartScale, ZEL_FIELD(Expert.ChartScale), TenthsFormat},
        {edtRandomInit, ZEL_FIELD(Expert.RandomInit), IntegerFormat},
        {edtCloudTempWater, ZEL_FIELD(Expert.CloudTempWater), CelsiusFormat},
        {edtCloudTempBoard, ZEL_FIELD(Expert.CloudTempBoard), CelsiusFormat},
        {edtBalanceSumRamp, ZEL_FIELD(Expert.BalanceSumRamp), IntegerFormat}};
    for (const auto& [edit, field, format] : edits)
        fields_->Bind(edit, nullptr, {field, format, rqSetExpert});
    for (LabeledEdit* edit : edtLightningMask)
        fields_->Bind(
            edit, nullptr,
            {ZEL_FIELD(ExpertWeather.LightningMask[n]), IntegerFormat, rqSetExpertWeather});

    const auto fanModeChanged = [this] {
        ShowFanModeStates();
        emit FanModeChanged();
    };
    fields_->BindChoice(rbtFMOLED, ZEL_FIELD(Expert.FanMode), 0, rqSetExpert, fanModeChanged);
    fields_->BindChoice(rbtFMOWater, ZEL_FIELD(Expert.FanMode), 1, rqSetExpert, fanModeChanged);
    QRadioButton* const chartButtons[] = {rbtCHMTempWater, rbtCHMTempBoard, rbtCHMVoltage,
                                          rbtCHMTempSlave};
    for (int mode = 0; mode < int(std::size(chartButtons)); ++mode)
        fields_->BindChoice(chartButtons[mode], ZEL_FIELD(Expert.ChartMode), mode, rqSetExpert);

    const std::array<LabeledEdit*, 9> zoneEdits = TimeZoneEdits();
    for (size_t i = 0; i < zoneEdits.size(); ++i) {
        LabeledEdit* edit = zoneEdits[i];
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { edtTimeZoneBiasChange(edit); });
        RestoreWhenLeft(edit, this, [this, edit, i] {
            edit->setText(QString::number(TimeZoneFields()[i].Get(state_, 0)));
        });
    }
    connect(btnApplyTZI, &QPushButton::clicked, this, &ExpertPage::btnApplyTZIClick);
    connect(cmbLanguage, &QComboBox::activated, this, &ExpertPage::cmbLanguageChange);
    for (QRadioButton* button : {rbtCelsius, rbtFahrenheit})
        connect(button, &QRadioButton::clicked, this, [this, button] { rbtCelsiusClick(button); });
    BindFormatButton(rbt24h, Flag12Hour, false);
    BindFormatButton(rbt12h, Flag12Hour, true);
    BindFormatButton(rbt16x2, FlagDisplay20x4, false);
    BindFormatButton(rbt20x4, FlagDisplay20x4, true);
}

// A clock or display format button: its bit of Config.Flag, sent when the user clicked it and
// the bit changed.
void ExpertPage::BindFormatButton(QRadioButton* button, uint8_t bit, bool set) {
    connect(button, &QRadioButton::clicked, this, [this, button, bit, set] {
        const uint8_t flag = uint8_t(set ? state_.Config.Flag | bit : state_.Config.Flag & ~bit);
        if (!button->hasFocus() || flag == state_.Config.Flag)
            return;
        state_.Config.Flag = flag;
        state_.Raise(rqSetConfig);
    });
}

std::array<LabeledEdit*, 9> ExpertPage::TimeZoneEdits() const {
    return {edtTimeZoneBias,         edtTimeZoneStandardMonth,     edtTimeZoneStandardDay,
            edtTimeZoneStandardHour, edtTimeZoneStandardDayOfWeek, edtTimeZoneDaylightMonth,
            edtTimeZoneDaylightDay,  edtTimeZoneDaylightHour,      edtTimeZoneDaylightDayOfWeek};
}

void ExpertPage::ShowFormats(uint8_t flag) {
    (flag & FlagDisplay20x4 ? rbt20x4 : rbt16x2)->setChecked(true);
    (flag & FlagFahrenheit ? rbtFahrenheit : rbtCelsius)->setChecked(true);
    (flag & Flag12Hour ? rbt12h : rbt24h)->setChecked(true);
}

void ExpertPage::RefreshExpert() {
    const ExpertBlock& expert = state_.Expert;
    SelectChoice(std::array{rbtFMOLED, rbtFMOWater}, expert.FanMode);
    SelectChoice(std::array{rbtCHMTempWater, rbtCHMTempBoard, rbtCHMVoltage, rbtCHMTempSlave},
                 expert.ChartMode);
    fields_->Show(rqSetExpert);
    ShowTimeZone(true);
    if (!DroppedDown(cmbLanguage) && cmbLanguage->currentIndex() != expert.Language)
        cmbLanguage->setCurrentIndex(expert.Language < cmbLanguage->count() ? expert.Language : -1);
}

void ExpertPage::ShowTimeZone(bool unlessFocused) {
    const std::array<LabeledEdit*, 9> edits = TimeZoneEdits();
    for (size_t i = 0; i < edits.size(); ++i) {
        const QString text = QString::number(TimeZoneFields()[i].Get(state_, 0));
        if (unlessFocused)
            SetTextUnlessFocused(edits[i], text);
        else
            edits[i]->setText(text);
    }
}

void ExpertPage::edtTimeZoneBiasChange(LabeledEdit* edit) {
    if (!edit->hasFocus())
        return;
    const std::array<LabeledEdit*, 9> edits = TimeZoneEdits();
    for (size_t i = 0; i < edits.size(); ++i) {
        int64_t value = 0;
        try {
            value = IntegerFormat.Parse(state_, edits[i]->text());
        } catch (const ConversionError&) {
            return; // the fields before this one keep their new values; nothing is sent
        }
        const FieldRange range = *TimeZoneFields()[i].Range;
        if (!ShowTyped(edits[i], JudgeTyped(range, value),
                       RangeBetween(QString::number(range.Min), QString::number(range.Max))))
            return; // as for a text that is no number
        TimeZoneFields()[i].Set(state_, 0, value);
    }
    state_.Raise(rqSetExpert);
}

// A PC without time zone information leaves everything as it was, without a word.
void ExpertPage::btnApplyTZIClick() {
    const std::optional<TimeZoneRule> rule =
        TimeZoneRuleOf(SystemZone(), QDate::currentDate().year());
    if (!rule)
        return;
    SetTimeZoneRule(state_, *rule);
    ShowTimeZone(false);
}

// Connected to the box's activated signal, which only the user's choice emits.
void ExpertPage::cmbLanguageChange() {
    if (cmbLanguage->currentIndex() < 0 || cmbLanguage->currentIndex() == state_.Expert.Language)
        return;
    state_.Expert.Language = uint8_t(cmbLanguage->currentIndex());
    state_.Raise(rqSetExpert);
}

void ExpertPage::rbtCelsiusClick(QRadioButton* button) {
    const uint8_t flag = uint8_t(button == rbtFahrenheit ? state_.Config.Flag | FlagFahrenheit
                                                         : state_.Config.Flag & ~FlagFahrenheit);
    if (!button->hasFocus() || flag == state_.Config.Flag)
        return;
    state_.Config.Flag = flag;
    emit UnitChanged();
    state_.Raise(rqSetConfig);
}

void ExpertPage::ShowFanModeStates() {
    SetEnabled({edtTempWaterLow, edtTempWaterHigh},
               edtTempOffset->isEnabled() && !rbtFMOLED->isChecked());
}

void ExpertPage::SetConnected(bool connected, bool waterSensor) {
    SetEnabled({edtPWMPrescaler,
                lblPWMPrescaler,
                edtTWIBitrate,
                lblTWIBitrate,
                edtCloudTempBoard,
                edtBalanceSumRamp,
                rbtFMOLED,
                rbtFMOWater,
                rbtCHMTempWater,
                rbtCHMTempBoard,
                rbtCHMVoltage,
                edtChartInterval,
                edtChartScale,
                edtRandomInit,
                btnApplyTZI,
                lblLanguage,
                cmbLanguage,
                rbtCelsius,
                rbtFahrenheit,
                rbt12h,
                rbt24h,
                rbt16x2,
                rbt20x4},
               connected);
    for (LabeledEdit* edit : TimeZoneEdits())
        edit->setEnabled(connected);
    for (LabeledEdit* edit : edtLightningMask)
        edit->setEnabled(connected);
    const bool offset = connected && waterSensor;
    SetEnabled({edtTempOffset, edtCloudTempWater}, offset);
    SetEnabled({edtTempWaterLow, edtTempWaterHigh}, offset && !rbtFMOLED->isChecked());
}

void ExpertPage::SetWaterSensor(bool present) {
    SetEnabled({edtTempOffset, rbtFMOWater, edtCloudTempWater, rbtCHMTempWater}, present);
    SetEnabled({edtTempWaterLow, edtTempWaterHigh}, present && !rbtFMOLED->isChecked());
}

} // namespace zel
