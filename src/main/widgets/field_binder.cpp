// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/widgets/field_binder.h"

#include "cfg/conversions.h"
#include "main/widgets/range_mark.h"
#include "main/widgets/widgets.h"

#include <QEvent>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <memory>

namespace zel {

namespace {

// Whole numbers only; 40 digits or "1e3" are not one.
int64_t ParseInteger(const DeviceState&, const QString& text) {
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw ConversionError("not a whole number");
    return value;
}

int64_t ParseTenths(const DeviceState&, const QString& text) {
    return NearestTyped(ParseNumber(text) * 10);
}

int SliderPosition(int64_t value) {
    return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}
} // namespace

const FieldFormat IntegerFormat{
    [](const DeviceState&, int64_t value) { return QString::number(value); }, ParseInteger};

const FieldFormat PercentFormat{
    [](const DeviceState&, int64_t value) { return FormatNumber(double(value), 1); },
    [](const DeviceState&, const QString& text) { return NearestTyped(ParseNumber(text)); }};

const FieldFormat TenthsFormat{
    [](const DeviceState&, int64_t value) { return FormatNumber(value / 10.0, 1); }, ParseTenths};

const FieldFormat CelsiusFormat{
    [](const DeviceState&, int64_t value) { return QLocale().toString(value / 10.0, 'f', 1); },
    ParseTenths};

const FieldFormat TemperatureFormat{[](const DeviceState& state, int64_t value) {
                                        return FormatTemperature(int(value), state.Config.Flag);
                                    },
                                    [](const DeviceState& state, const QString& text) {
                                        return ParseTemperature(text, state.Config.Flag);
                                    }};

const FieldFormat MoonLevelFormat{
    [](const DeviceState&, int64_t value) { return FormatNumber(value * 100.0 / FullLevel, 2); },
    [](const DeviceState&, const QString& text) {
        return NearestTyped(ParseNumber(text) / 100 * FullLevel);
    }};

std::optional<FieldRange> FieldRangeOf(const char* path) {
    const QString text = QString::fromLatin1(path);
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    const QString blockName = text.left(dot);
    QString name = text.mid(dot + 1);
    // A per-channel family shares one range: its key for channel 0 names it.
    if (name.endsWith(QLatin1String("[n]")))
        name = name.chopped(3) + QLatin1Char('0');
    const std::pair<const char*, FieldBlock> blocks[] = {
        {"Config", FieldBlock::Config},
        {"Expert", FieldBlock::Expert},
        {"ExpertWeather", FieldBlock::ExpertWeather}};
    for (const auto& [blockText, block] : blocks) {
        if (blockName != QLatin1String(blockText))
            continue;
        for (const SettingsKey& key : ConfigurationKeys())
            if (key.Block == block && key.Key == name)
                return key.Range;
    }
    return std::nullopt;
}

int ChannelOf(const QObject* control) {
    return control->property("Tag").toInt();
}

FieldBinder::FieldBinder(DeviceState& state, QObject* parent) : QObject(parent), state_(state) {}

void FieldBinder::Bind(QLineEdit* edit, QAbstractSlider* slider, const Binding& binding) {
    const size_t index = bound_.size();
    bound_.push_back({edit, slider, binding});
    connect(edit, &QLineEdit::textEdited, this, [this, index] { EditChange(bound_[index]); });
    RestoreWhenLeft(edit, this, [this, index] { ShowBound(bound_[index], false); });
    if (!slider)
        return;
    slider->installEventFilter(this);
    connect(slider, &QAbstractSlider::actionTriggered, this,
            [this, index] { SliderChange(bound_[index]); });
}

void FieldBinder::BindChoice(QAbstractButton* button, const Field& field, int64_t value,
                             uint32_t request, const std::function<void()>& changed) {
    connect(button, &QAbstractButton::toggled, this, [this, field, value, changed](bool on) {
        if (!on)
            return;
        field.Set(state_, 0, value);
        if (changed)
            changed();
    });
    // Choosing the button already chosen changes nothing and sends nothing.
    auto wasChosen = std::make_shared<bool>(false);
    connect(button, &QAbstractButton::pressed, this,
            [button, wasChosen] { *wasChosen = button->isChecked(); });
    connect(button, &QAbstractButton::clicked, this, [this, button, request, wasChosen] {
        if (button->hasFocus() && !*wasChosen)
            state_.Raise(request);
    });
}

bool FieldBinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel)
        if (auto* slider = qobject_cast<QAbstractSlider*>(watched); slider && slider->isEnabled())
            slider->setFocus(Qt::MouseFocusReason);
    return QObject::eventFilter(watched, event);
}

// Text that does not parse changes nothing and stays as typed; a number outside the field's
// range is not taken. The slider shows what it can of the stored value.
void FieldBinder::EditChange(const Bound& bound) {
    if (!bound.Edit->hasFocus())
        return;
    const Binding& rule = bound.Rule;
    const int channel = ChannelOf(bound.Edit);
    int64_t value = 0;
    try {
        value = rule.Format.Parse(state_, bound.Edit->text());
    } catch (const ConversionError&) {
        return; // a number still being typed, or none at all
    }
    if (!TakeTyped(bound, value))
        return;
    rule.Value.Set(state_, channel, value);
    if (bound.Slider)
        bound.Slider->setValue(SliderPosition(rule.Value.Get(state_, channel)));
    if (rule.Changed)
        rule.Changed();
    if (rule.Request)
        state_.Raise(rule.Request);
}

bool FieldBinder::TakeTyped(const Bound& bound, int64_t value) {
    const std::optional<FieldRange>& range = bound.Rule.Value.Range;
    if (!range)
        return true;
    const FieldFormat& format = bound.Rule.Format;
    return ShowTyped(
        bound.Edit, JudgeTyped(*range, value),
        RangeBetween(format.Text(state_, range->Min), format.Text(state_, range->Max)));
}

// Runs while the slider carries out the user's action: its position is already the new one,
// its value not yet, so a corrected position is simply set in its place.
void FieldBinder::SliderChange(const Bound& bound) {
    QAbstractSlider* slider = bound.Slider;
    if (!slider->hasFocus())
        return;
    const Binding& rule = bound.Rule;
    const int channel = ChannelOf(slider);
    int position = slider->sliderPosition();
    if (rule.Limit) {
        position = rule.Limit(position);
        slider->setSliderPosition(position);
    }
    if (position == rule.Value.Get(state_, channel))
        return;
    rule.Value.Set(state_, channel, position);
    SetTextUnlessFocused(bound.Edit, rule.Format.Text(state_, rule.Value.Get(state_, channel)));
    if (rule.Changed)
        rule.Changed();
    if (rule.Request)
        state_.Raise(rule.Request);
}

void FieldBinder::Show(uint32_t request) {
    for (const Bound& bound : bound_)
        if (bound.Rule.Request == request)
            ShowBound(bound, !bound.Rule.ShowWhileFocused);
}

void FieldBinder::ShowBound(const Bound& bound, bool unlessFocused) {
    const int channel = ChannelOf(bound.Edit);
    const int64_t value = bound.Rule.Value.Get(state_, channel);
    const QString text = bound.Rule.Format.Text(state_, value);
    if (!unlessFocused) {
        if (bound.Edit->text() != text)
            bound.Edit->setText(text);
        if (bound.Slider)
            bound.Slider->setValue(SliderPosition(value));
        return;
    }
    SetTextUnlessFocused(bound.Edit, text);
    if (bound.Slider)
        SetPositionUnlessFocused(bound.Slider, SliderPosition(value));
}

} // namespace zel
