#include "main/expert_page.h"

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
} // namespace

ExpertPage::ExpertPage(QWidget* parent) : QWidget(parent) {
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
