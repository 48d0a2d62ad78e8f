// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/design_day_dialog.h"

#include "cfg/conversions.h"
#include "lang/translate.h"
#include "main/views/world_map.h"
#include "main/widgets/widgets.h"
#include "sunmoon/geo_report.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace zel {

namespace {

// Rows from index 128 on can never be uploaded; the designer fits to the others.
constexpr int SendableRows = 128;

QSpinBox* ChannelSpin(const QString& name, int channel, int maximum, int value, QWidget* parent) {
    auto* spin = Named(new QSpinBox(parent), name + QString::number(channel));
    spin->setRange(0, maximum);
    spin->setValue(value);
    return spin;
}

} // namespace

QStringList DoseTexts(const std::vector<ScheduleRow>& rows, const ChannelPar& par) {
    const auto dose = DailyDoseHours(rows);
    if (!dose)
        return {};
    QStringList texts;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const double hours = (*dose)[size_t(channel)];
        QString text = ChannelLetter(channel) + QLatin1Char(' ') + FormatNumber(hours, 1) +
                       QLatin1Char(' ') + Translate(QStringLiteral("DoseHours"));
        if (const std::optional<double> light = par[size_t(channel)])
            text += QStringLiteral(" · ") + FormatNumber(DailyLightIntegral(hours, *light), 1) +
                    QLatin1Char(' ') + Translate(QStringLiteral("DliUnit"));
        texts << text;
    }
    return texts;
}

DesignDayDialog::DesignDayDialog(DeviceState& state, ScheduleHistory& history, QWidget* parent)
    : QDialog(parent), state_(state), history_(history) {
    setObjectName(QStringLiteral("dlgDesignDay"));
    setWindowTitle(Translate(QStringLiteral("DesignDayTitle")));
    edtDesignLat = Named(new QLineEdit(CoordinateText(state.Config.Lat), this),
                         QStringLiteral("edtDesignLat"));
    edtDesignLon = Named(new QLineEdit(CoordinateText(state.Config.Lon), this),
                         QStringLiteral("edtDesignLon"));
    imgDesignMap = Named(new ScalableImageView(this), QStringLiteral("imgDesignMap"));
    // The whole map at the view's smallest scale: it always fits, and scroll bars would only
    // take room from it.
    imgDesignMap->setFrameShape(QFrame::NoFrame);
    imgDesignMap->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    imgDesignMap->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    imgDesignMap->setMinimumSize(QSize(WorldMap().size() * ScalableImageView::MinimumScale));
    imgDesignMap->viewport()->setCursor(Qt::CrossCursor);
    const QDate clock(state.Info.Year + 2000, state.Info.Month, state.Info.Day);
    dtpDesign = Named(new QDateEdit(clock.isValid() ? clock : QDate::currentDate(), this),
                      QStringLiteral("dtpDesign"));
    dtpDesign->setDateRange(QDate(1900, 3, 1), QDate(2100, 2, 28));
    dtpDesign->setCalendarPopup(true);
    edtDesignNoon = Named(new QLineEdit(this), QStringLiteral("edtDesignNoon"));
    edtDesignNoon->setPlaceholderText(Translate(QStringLiteral("DesignSunNoon")));
    imgDesign = Named(new ImageBox(this), QStringLiteral("imgDesign"));
    imgDesign->setMinimumSize(480, 220);
    lblDesignDose = Named(new QLabel(this), QStringLiteral("lblDesignDose"));
    lblDesignDose->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    btnDesignApply = Named(
        buttons->addButton(Translate(QStringLiteral("DesignApply")), QDialogButtonBox::AcceptRole),
        QStringLiteral("btnDesignApply"));

    auto* place = new QFormLayout;
    place->addRow(Translate(QStringLiteral("Latitude")), edtDesignLat);
    place->addRow(Translate(QStringLiteral("Longitude")), edtDesignLon);
    place->addRow(Translate(QStringLiteral("DesignDate")), dtpDesign);
    place->addRow(Translate(QStringLiteral("DesignNoon")), edtDesignNoon);
    auto* channels = new QGridLayout;
    const QString headers[] = {Translate(QStringLiteral("DesignMaximum")),
                               Translate(QStringLiteral("DesignDawn")),
                               Translate(QStringLiteral("DesignDusk"))};
    for (int column = 0; column < 3; ++column)
        channels->addWidget(new QLabel(headers[column], this), 0, column + 1);
    for (int channel = 0; channel < ChannelCount; ++channel) {
        channels->addWidget(new QLabel(ColorCaption(state.Config.ColorName[channel]) +
                                           QStringLiteral(": ") + ChannelLetter(channel),
                                       this),
                            channel + 1, 0);
        edtDesignMax[size_t(channel)] =
            ChannelSpin(QStringLiteral("edtDesignMax"), channel, 100, 100, this);
        edtDesignDawn[size_t(channel)] =
            ChannelSpin(QStringLiteral("edtDesignDawn"), channel, MinutesPerDay / 2, 0, this);
        edtDesignDusk[size_t(channel)] =
            ChannelSpin(QStringLiteral("edtDesignDusk"), channel, MinutesPerDay / 2, 0, this);
        channels->addWidget(edtDesignMax[size_t(channel)], channel + 1, 1);
        channels->addWidget(edtDesignDawn[size_t(channel)], channel + 1, 2);
        channels->addWidget(edtDesignDusk[size_t(channel)], channel + 1, 3);
    }
    auto* inputs = new QHBoxLayout;
    inputs->addLayout(place);
    inputs->addLayout(channels);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(inputs);
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(imgDesignMap);
    pictures->addWidget(imgDesign, 1);
    layout->addLayout(pictures, 1);
    layout->addWidget(lblDesignDose);
    layout->addWidget(buttons);

    // One handler serves every input.
    for (QLineEdit* edit : {edtDesignLat, edtDesignLon, edtDesignNoon})
        connect(edit, &QLineEdit::textEdited, this, &DesignDayDialog::DesignChange);
    connect(dtpDesign, &QDateEdit::userDateChanged, this, &DesignDayDialog::DesignChange);
    for (const auto& family : {edtDesignMax, edtDesignDawn, edtDesignDusk})
        for (QSpinBox* spin : family)
            connect(spin, &QSpinBox::valueChanged, this, &DesignDayDialog::DesignChange);
    connect(imgDesignMap, &ScalableImageView::MouseDown, this,
            &DesignDayDialog::imgDesignMapMouseDown);
    connect(imgDesign, &ImageBox::Resized, this, &DesignDayDialog::DrawPreview);
    connect(btnDesignApply, &QPushButton::clicked, this, &DesignDayDialog::btnDesignApplyClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    DesignChange();
}

std::optional<DaylightRequest> DesignDayDialog::Request() const {
    DaylightRequest request;
    try {
        request.Latitude = ParseNumber(edtDesignLat->text());
        request.Longitude = ParseNumber(edtDesignLon->text());
    } catch (const ConversionError&) {
        return std::nullopt;
    }
    const QDate date = dtpDesign->date();
    request.Year = date.year();
    request.Month = date.month();
    request.Day = date.day();
    request.UtcOffsetMinutes = UtcOffsetMinutes(QDateTime(date, QTime(12, 0)));
    if (!edtDesignNoon->text().trimmed().isEmpty()) {
        const QTime noon =
            QTime::fromString(edtDesignNoon->text().trimmed(), QStringLiteral("H:mm"));
        if (!noon.isValid())
            return std::nullopt;
        request.NoonMinutes = noon.hour() * 60 + noon.minute();
    }
    for (int channel = 0; channel < ChannelCount; ++channel) {
        request.MaxLevel[size_t(channel)] =
            int(LevelFromPercent(edtDesignMax[size_t(channel)]->value()));
        request.DawnMinutes[size_t(channel)] = edtDesignDawn[size_t(channel)]->value();
        request.DuskMinutes[size_t(channel)] = edtDesignDusk[size_t(channel)]->value();
    }
    return request;
}

void DesignDayDialog::imgDesignMapMouseDown(QPoint picturePoint) {
    const GeoPoint place = MapPixelToGeo(picturePoint);
    edtDesignLat->setText(FormatNumber(place.Latitude, 1));
    edtDesignLon->setText(FormatNumber(place.Longitude, 1));
    DesignChange();
}

void DesignDayDialog::DesignChange() {
    rows_.clear();
    QString text = Translate(QStringLiteral("DesignNoInput"));
    const std::optional<DaylightRequest> request = Request();
    // A place off the globe has no marker.
    const bool onMap =
        request && std::abs(request->Latitude) <= 90 && std::abs(request->Longitude) <= 180;
    imgDesignMap->SetPicture(onMap ? MarkedWorldMap({request->Latitude, request->Longitude},
                                                    imgDesignMap->devicePixelRatioF())
                                   : WorldMap());
    if (request) {
        try {
            const DaylightCurve curve = DesignDaylight(*request);
            if (curve.PolarNight) {
                text = Translate(QStringLiteral("DesignPolarNight"));
            } else {
                const int rows = std::min(int(state_.Schedule.size()), SendableRows);
                rows_ = FitScheduleRows(curve, rows, state_.Schedule).Rows;
                text = Translate(QStringLiteral("Dose")) + QStringLiteral(": ") +
                       DoseTexts(rows_).join(QStringLiteral(", "));
            }
        } catch (const std::invalid_argument&) {
            text = Translate(QStringLiteral("DesignTooFewRows"));
        } catch (const MathError&) {
            // An astronomy step out of its range: no day to show, as for any unusable input.
        }
    }
    lblDesignDose->setText(text);
    btnDesignApply->setEnabled(!rows_.empty());
    DrawPreview();
}

void DesignDayDialog::DrawPreview() {
    VisualizeScene scene;
    for (int channel = 0; channel < ChannelCount; ++channel)
        scene.ColorCodes[size_t(channel)] = state_.Config.ColorName[channel];
    std::vector<PointCacheEntry> cache;
    imgDesign->Draw([&](QImage& picture) { renderer_.Draw(picture, font(), rows_, scene, cache); });
}

void DesignDayDialog::btnDesignApplyClick() {
    // A download on its way would overwrite the rows; one may also have resized the schedule
    // while the dialog was open.
    if (rows_.empty() || rows_.size() > state_.Schedule.size() || state_.ScheduleDownloadPending())
        return;
    history_.Make(ScheduleChange{0, rows_, std::nullopt});
    accept();
}

DesignDayDialog* OpenDesignDayDialog(DeviceState& state, ScheduleHistory& history,
                                     QWidget* parent) {
    auto* dialog = new DesignDayDialog(state, history, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

QInputDialog* OpenScaleLevelsDialog(DeviceState& state, ScheduleHistory& history, QWidget* parent) {
    auto* dialog = Named(new QInputDialog(parent), QStringLiteral("dlgScaleLevels"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(Translate(QStringLiteral("ScaleLevelsTitle")));
    dialog->setLabelText(Translate(QStringLiteral("ScaleLevelsPrompt")));
    dialog->setInputMode(QInputDialog::DoubleInput);
    dialog->setDoubleRange(0, 100);
    dialog->setDoubleDecimals(1);
    dialog->setDoubleValue(100);
    QObject::connect(
        dialog, &QInputDialog::doubleValueSelected, dialog, [&state, &history](double percent) {
            const size_t rows = std::min(state.Schedule.size(), size_t(SendableRows));
            history.Make(ScheduleChange{
                0,
                ScaleLevels({state.Schedule.begin(), state.Schedule.begin() + rows}, percent / 100),
                std::nullopt});
        });
    dialog->open();
    return dialog;
}

} // namespace zel
