// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/visualize_page.h"

#include "cfg/conversions.h"
#include "lang/translate.h"
#include "main/pages/schedule_page.h"
#include "main/widgets/widgets.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zel {

namespace {
// The window's settings, beside the port it remembers.
const QString WindowSettings = QStringLiteral("ZELPHORIN2");

// Where the window's settings keep a channel's PAR at full level.
QString ParKey(int channel) {
    return QStringLiteral("Par") + ChannelLetter(channel);
}
} // namespace

VisualizePage::VisualizePage(DeviceState& state, ScheduleHistory& history, QWidget* parent)
    : QWidget(parent), state_(state), history_(history) {
    setObjectName(QStringLiteral("tsVisualize"));
    lblVisualize = Named(new QLabel(this), QStringLiteral("lblVisualize"));
    cmbVisualize = Named(new QComboBox(this), QStringLiteral("cmbVisualize"));
    cmbVisualize->setMinimumContentsLength(16);
    cbxTimeLock = Named(new QCheckBox(this), QStringLiteral("cbxTimeLock"));
    img = Named(new ImageBox(this), QStringLiteral("img"));
    img->setMinimumSize(200, 120);
    tmrVisualize = Named(new QTimer(this), QStringLiteral("tmrVisualize"));
    tmrVisualize->setInterval(TimerIntervalMs);

    auto* top = new QHBoxLayout;
    top->addWidget(lblVisualize);
    top->addWidget(cmbVisualize);
    top->addStretch(1);
    top->addWidget(cbxTimeLock);
    btnVisualizeDesignDay = Named(new QPushButton(this), QStringLiteral("btnVisualizeDesignDay"));
    top->addWidget(btnVisualizeDesignDay);
    auto* dose = new QHBoxLayout;
    const QSettings settings(WindowSettings);
    for (int channel = 0; channel < ChannelCount; ++channel) {
        lblDose[size_t(channel)] =
            Named(new QLabel(this), QStringLiteral("lblDose") + QString::number(channel));
        edtPar[size_t(channel)] =
            Named(new QLineEdit(this), QStringLiteral("edtPar") + QString::number(channel));
        // The whole hint does not fit a narrow window: the placeholder is its short form.
        edtPar[size_t(channel)]->setPlaceholderText(Translate(QStringLiteral("ParShort")));
        edtPar[size_t(channel)]->setToolTip(Translate(QStringLiteral("ParHint")));
        bool ok = false;
        const double par = settings.value(ParKey(channel)).toDouble(&ok);
        if (ok && par > 0) {
            par_[size_t(channel)] = par;
            // Shortest form: parsed back it is the same number.
            edtPar[size_t(channel)]->setText(
                QLocale().toString(par, 'g', QLocale::FloatingPointShortest));
        }
        connect(edtPar[size_t(channel)], &QLineEdit::textEdited, this,
                [this, channel] { edtParChange(channel); });
        dose->addWidget(lblDose[size_t(channel)]);
        dose->addWidget(edtPar[size_t(channel)]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(img, 1);
    layout->addLayout(dose);

    connect(img, &ImageBox::MouseDown, this,
            [this](Qt::MouseButton, QPoint point) { imgMouseDown(point); });
    connect(img, &ImageBox::MouseMove, this,
            [this](Qt::MouseButtons, QPoint point) { imgMouseMove(point); });
    connect(img, &ImageBox::MouseUp, this, [this] { imgMouseUp(); });
    connect(img, &ImageBox::MouseEnter, this, &VisualizePage::imgMouseEnter);
    connect(img, &ImageBox::MouseLeave, this, &VisualizePage::imgMouseLeave);
    connect(img, &ImageBox::Resized, this, &VisualizePage::imgResize);
    connect(tmrVisualize, &QTimer::timeout, this, &VisualizePage::tmrVisualizeTimer);
    connect(cmbVisualize, &QComboBox::activated, this, &VisualizePage::cmbVisualizeChange);
    connect(btnVisualizeDesignDay, &QPushButton::clicked, this,
            [this] { OpenDesignDayDialog(state_, history_, this); });
}

void VisualizePage::edtParChange(int channel) {
    QSettings settings(WindowSettings);
    const QString text = edtPar[size_t(channel)]->text().trimmed();
    std::optional<double> par;
    if (!text.isEmpty()) {
        try {
            par = ParseNumber(text);
        } catch (const ConversionError&) {
            return; // not a number: what was kept stays
        }
        if (!(*par > 0))
            return;
    }
    par_[size_t(channel)] = par;
    if (par)
        settings.setValue(ParKey(channel), *par);
    else
        settings.remove(ParKey(channel));
    ShowDose();
}

void VisualizePage::ShowDose() {
    const QStringList texts = DoseTexts(state_.Schedule, par_);
    for (int channel = 0; channel < ChannelCount; ++channel)
        lblDose[size_t(channel)]->setText(texts.value(channel));
}

void VisualizePage::SetChannelNames(const QStringList& names) {
    QStringList shown;
    for (int item = 0; item < cmbVisualize->count(); ++item)
        shown.append(cmbVisualize->itemText(item));
    const QSignalBlocker quiet(cmbVisualize);
    cmbVisualize->setUpdatesEnabled(false);
    cmbVisualize->clear();
    cmbVisualize->addItems(names);
    cmbVisualize->setUpdatesEnabled(true);
    cmbVisualize->setCurrentIndex(visualisedChannel_);
    for (int channel = 0; channel < ChannelCount; ++channel)
        names_[size_t(channel)] = names.value(channel);
    // A name names the colour the channel's curve is drawn in, and stands in the legend.
    if (names != shown)
        Redraw();
}

void VisualizePage::SetConnected(bool connected) {
    setEnabled(connected);
    SetEnabled({lblVisualize, cmbVisualize, cbxTimeLock}, connected);
}

std::optional<double> VisualizePage::Marker() const {
    if (state_.Config.Mode == ModeGeo)
        return SunAngle(state_.Config, state_.Info);
    return state_.Info.Hour * 60 + state_.Info.Minute;
}

void VisualizePage::RefreshMarker() {
    // The status is read twice a second; the line moves once a minute.
    if (Marker() != drawnMarker_)
        Redraw();
}

void VisualizePage::Redraw() {
    const bool geo = state_.Config.Mode == ModeGeo;
    cbxTimeLock->setVisible(!geo);
    VisualizeScene scene;
    scene.Geo = geo;
    scene.Visualised = visualisedChannel_;
    scene.DragPoint = dragPoint_;
    for (int channel = 0; channel < ChannelCount; ++channel)
        scene.ColorCodes[size_t(channel)] = state_.Config.ColorName[channel];
    scene.Marker = Marker();
    scene.Names = names_;
    drawnMarker_ = scene.Marker;
    img->Draw([&](QImage& picture) {
        renderer_.Draw(picture, font(), state_.Schedule, scene, state_.PointCache);
    });
    ShowDose();
}

void VisualizePage::imgMouseDown(QPoint point) {
    if (state_.ScheduleDownloadPending())
        return;
    tmrVisualize->start();
    // Rows the grid refuses to send are not dragged either.
    const size_t count = std::min(
        {state_.Schedule.size(), state_.PointCache.size(), size_t(SchedulePage::FirstRowNotSent)});
    for (size_t k = 0; k < count; ++k) {
        const PointCacheEntry& cached = state_.PointCache[k];
        if (std::fabs(point.x() - cached[0]) <= HitDistance &&
            std::fabs(point.y() - cached[size_t(visualisedChannel_) + 1]) <= HitDistance) {
            dragPoint_ = int(k);
            dragStart_ = state_.Schedule[k];
            dragGeneration_ = history_.Generation();
            return;
        }
    }
}

void VisualizePage::imgMouseMove(QPoint point) {
    if (dragPoint_ < 0 || dragPoint_ >= int(state_.Schedule.size()) ||
        state_.ScheduleDownloadPending())
        return;
    ScheduleRow& row = state_.Schedule[size_t(dragPoint_)];
    if (!cbxTimeLock->isChecked() && state_.Config.Mode != ModeGeo) {
        const int minutes =
            MinutesBetweenNeighbours(dragPoint_, MinutesAt(point.x(), img->width()));
        row.Hour = int8_t(minutes / 60);
        row.Minute = int8_t(minutes % 60);
    }
    row.Color16[visualisedChannel_] = int16_t(LevelAt(point.y(), img->height()));
}

// The schedule runs in time order: a dragged point stops at its neighbours' times. Between
// neighbours already out of order it keeps its own time.
int VisualizePage::MinutesBetweenNeighbours(int k, int minutes) const {
    const auto minutesOf = [this](size_t index) {
        const ScheduleRow& row = state_.Schedule[index];
        return row.Hour * 60 + row.Minute;
    };
    const size_t index = size_t(k);
    const int earliest = index > 0 ? minutesOf(index - 1) : 0;
    const int latest = index + 1 < state_.Schedule.size() ? minutesOf(index + 1) : MinutesPerDay;
    if (earliest > latest)
        return minutesOf(index);
    return std::clamp(minutes, earliest, latest);
}

void VisualizePage::imgMouseUp() {
    tmrVisualize->stop();
    if (dragPoint_ < 0)
        return;
    const int row = dragPoint_;
    dragPoint_ = -1;
    state_.MarkRow(row);
    // A download that ended during the drag brought other rows: this drag is not theirs.
    if (row < int(state_.Schedule.size()) && dragGeneration_ == history_.Generation())
        history_.Record({row, {dragStart_}, std::nullopt},
                        {row, {state_.Schedule[size_t(row)]}, std::nullopt});
    // The last position and no drag label.
    Redraw();
}

void VisualizePage::imgMouseEnter() {
    img->setCursor(Qt::CrossCursor);
}

void VisualizePage::imgMouseLeave() {
    img->unsetCursor();
}

void VisualizePage::imgResize() {
    if (img->isVisible())
        Redraw();
}

void VisualizePage::tmrVisualizeTimer() {
    if (window()->isVisible())
        Redraw();
}

void VisualizePage::cmbVisualizeChange(int index) {
    if (index < 0 || index >= ChannelCount)
        return;
    visualisedChannel_ = index;
    Redraw();
}

bool VisualizePage::FormMouseWheel(int delta) {
    if (dragPoint_ >= 0)
        return false;
    if (delta < 0)
        visualisedChannel_ = std::min(visualisedChannel_ + 1, ChannelCount - 1);
    else if (delta > 0)
        visualisedChannel_ = std::max(visualisedChannel_ - 1, 0);
    cmbVisualize->setCurrentIndex(visualisedChannel_);
    Redraw();
    return true;
}

} // namespace zel
