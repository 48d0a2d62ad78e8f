// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The pattern of every settings page: a record field shown in an edit, often beside a slider.
// What the user types or drags goes into the field at once and raises the block's write
// request; a refresh shows the field again but never writes back, and leaves alone the control
// the user is working in.

#include "cfg/device_state.h"
#include "files/settings_keys.h"
#include "main/widgets/labeled_edit.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QObject>

#include <functional>
#include <iterator>
#include <optional>
#include <type_traits>
#include <vector>

namespace zel {

// One field of the device records, read and written by value: the records are packed, so no
// reference to a field can be taken. `channel` picks the element of a per-channel family.
struct Field {
    std::function<int64_t(const DeviceState& state, int channel)> Get;
    std::function<void(DeviceState& state, int channel, int64_t value)> Set;
    // The values the controller takes; typed values outside it are refused. None: whatever
    // the field holds.
    std::optional<FieldRange> Range = std::nullopt;
};

// The range of the settings key that names the field at `path` ("Config.FanLow",
// "ExpertWeather.Balance[n]"): the keys carry the fields' names.
std::optional<FieldRange> FieldRangeOf(const char* path);

// The Field at a path inside DeviceState, in which `n` stands for the channel:
// ZEL_FIELD(Config.FanLow), ZEL_FIELD(ExpertWeather.Balance[n]), with the range of its key.
#define ZEL_FIELD(path)                                                                            \
    ::zel::Field {                                                                                 \
        [](const ::zel::DeviceState& s, [[maybe_unused]] int n) -> int64_t { return s.path; },     \
            [](::zel::DeviceState& s, [[maybe_unused]] int n, int64_t value) {                     \
                s.path = std::remove_cv_t<std::remove_reference_t<decltype(s.path)>>(value);       \
            },                                                                                     \
            ::zel::FieldRangeOf(#path)                                                             \
    }

// How an edit shows a field and how typed text becomes the field's value (before the cut).
// Parse throws ConversionError for text that is not a number, or one no field can hold.
struct FieldFormat {
    QString (*Text)(const DeviceState& state, int64_t value);
    int64_t (*Parse)(const DeviceState& state, const QString& text);
};

extern const FieldFormat IntegerFormat;     // 17 ↔ "17"
extern const FieldFormat PercentFormat;     // "0.#" of the value ↔ nearest(x)
extern const FieldFormat TenthsFormat;      // "0.#" of value / 10 ↔ nearest(x × 10)
extern const FieldFormat CelsiusFormat;     // "0.0" of value / 10 ↔ nearest(x × 10), always °C
extern const FieldFormat TemperatureFormat; // FormatTemperature ↔ ParseTemperature (°C or °F)
extern const FieldFormat MoonLevelFormat; // "0.##" of value × 100 / 4096 ↔ nearest(x / 100 × 4096)

// What a bound edit (and its slider) edits and which block it sends.
struct Binding {
    Field Value;
    FieldFormat Format;
    // The block's write request; 0 for a pair whose handler sends by itself (Changed).
    uint32_t Request = 0;
    // The position a slider may take when the user asks for `position` (the level ordering).
    std::function<int(int position)> Limit = {};
    // Runs after a change by the user has been stored, before the request is raised.
    std::function<void()> Changed = {};
    // Shown by a refresh even while the user works in it.
    bool ShowWhileFocused = false;
};

// The handlers of one page's edits and sliders. Each control carries its channel in its "Tag"
// property (none: 0), so one binding serves a whole per-channel family.
class FieldBinder : public QObject {
    Q_OBJECT
public:
    FieldBinder(DeviceState& state, QObject* parent);

    // An edit, with its slider or none. The handlers act only on the user's own input: the
    // edit's textEdited and the slider's actionTriggered, and only while the control has the
    // keyboard focus.
    void Bind(QLineEdit* edit, QAbstractSlider* slider, const Binding& binding);

    // A radio button that stands for `value` of the field. Selecting it, by the user or by a
    // refresh, stores the value and runs `changed`; only the user's own click, with the
    // button focused, on a button not chosen before raises the request.
    void BindChoice(QAbstractButton* button, const Field& field, int64_t value, uint32_t request,
                    const std::function<void()>& changed = {});

    // Every control bound to a field of the block that `request` writes shows the record's
    // value, unless it has the keyboard focus.
    void Show(uint32_t request);

protected:
    // A turn of the wheel over a bound slider is the user's input too: the slider takes the
    // focus before it moves, so the move counts.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Bound {
        QLineEdit* Edit;
        QAbstractSlider* Slider;
        Binding Rule;
    };

    void EditChange(const Bound& bound);
    bool TakeTyped(const Bound& bound, int64_t value);
    void SliderChange(const Bound& bound);
    void ShowBound(const Bound& bound, bool unlessFocused);

    DeviceState& state_;
    std::vector<Bound> bound_;
};

// The channel a control of a per-channel family carries; 0 for a control of its own.
int ChannelOf(const QObject* control);

// Checks the button of `value` (the buttons in the order of their values); a value without a
// button leaves the group as it is.
template <typename Buttons> void SelectChoice(const Buttons& buttons, int64_t value) {
    if (value >= 0 && value < int64_t(std::size(buttons)))
        buttons[size_t(value)]->setChecked(true);
}

} // namespace zel
