// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/pages/geo_page.h"

#include "cfg/conversions.h"
#include "cfg/device_actions.h"
#include "files/settings_keys.h"
#include "lang/translate.h"
#include "main/views/moon_phase.h"
#include "main/views/world_map.h"
#include "main/widgets/range_mark.h"
#include "main/widgets/widgets.h"
#include "sunmoon/geo_report.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace zel {

namespace {
constexpr int MinutesPerDay = 1440;
constexpr int MoonPictureSize = 60;
constexpr QRgb MoonColour = 0xFFE0E000;
constexpr float MoonRadius = 20;
constexpr float MoonCentre = 30;

// Degrees to the tenths Config holds.
int16_t Tenths(double degrees) {
    return int16_t(Nearest(std::clamp(degrees * 10, -32768.0, 32767.0)));
}

// The tenths of a typed coordinate, judged against its field; the edit shows the verdict.
std::optional<int16_t> TypedTenths(QLineEdit* edit, const QString& key) {
    // Far beyond the range is as wrong as just beyond it.
    const int64_t tenths = Nearest(std::clamp(ParseNumber(edit->text()), -1e6, 1e6) * 10);
    const FieldRange range = FindConfigurationKey(u"Config", key)->Range;
    if (!ShowTyped(edit, JudgeTyped(range, tenths),
                   RangeBetween(CoordinateText(range.Min), CoordinateText(range.Max))))
        return std::nullopt;
    return int16_t(tenths);
}

QString ClockText(int hour, int minute) {
    return QStringLiteral("%1:%2")
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'));
}

// "UTC+01:00", "UTC-05:00".
QString UtcOffsetText(int hours) {
    return QStringLiteral("UTC") + (hours < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           ClockText(std::abs(hours), 0);
}

// Focus on the control or inside a popup of its own (the date picker's calendar is a window
// of its own, whose parent is the picker).
bool HasFocusWithin(const QWidget* control) {
    for (const QWidget* widget = QApplication::focusWidget(); widget;
         widget = widget->parentWidget())
        if (widget == control)
            return true;
    return false;
}
} // namespace

GeoPage::GeoPage(DeviceState& state, QWidget* parent)
    : QWidget(parent), GeoMapBitmap(WorldMap()), state_(state) {
    setObjectName(QStringLiteral("tsGeo"));
    imgGeo = Named(new ScalableImageView(this), QStringLiteral("imgGeo"));
    imgGeo->setMinimumSize(250, 125);
    imgGeo->SetPicture(GeoMapBitmap);
    lblGeo = Named(new QLabel(this), QStringLiteral("lblGeo"));
    lblGeo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblGeoZone = Named(new QLabel(this), QStringLiteral("lblGeoZone"));
    lblGeoZone->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblGeoClock = Named(new QLabel(this), QStringLiteral("lblGeoClock"));
    lblGeoClock->setWordWrap(true);
    imgMoon = Named(new QLabel(this), QStringLiteral("imgMoon"));
    imgMoon->setFixedSize(MoonPictureSize, MoonPictureSize);
    imgMoon->installEventFilter(this);
    ShowMoonPicture(MoonCanvas());
    dtp = Named(new QDateEdit(this), QStringLiteral("dtp"));
    dtp->setCalendarPopup(true);
    dtp->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    // The years Info.Year (2000 + a signed byte) can hold.
    dtp->setDateRange(QDate(1872, 1, 1), QDate(2127, 12, 31));
    trbTime = MakeSlider(QStringLiteral("trbTime"), 0, MinutesPerDay - 1, 60, 60, this);
    btnNow = Named(new QPushButton(this), QStringLiteral("btnNow"));

    auto* fields = new QGridLayout;
    edtLat = AddEdit(fields, 0, QStringLiteral("edtLat"), this);
    edtLon = AddEdit(fields, 1, QStringLiteral("edtLon"), this);
    edtTime = AddEdit(fields, 2, QStringLiteral("edtTime"), this);
    fields->addWidget(trbTime, 2, 2);
    fields->addWidget(btnNow, 2, 3);
    fields->addWidget(dtp, 3, 1, 1, 2);
    fields->addWidget(lblGeoClock, 4, 0, 1, 4);
    fields->setColumnStretch(2, 1);
    // On a wide screen the slider stays a length to aim with; the rest stays empty.
    trbTime->setMaximumWidth(trbTime->fontMetrics().averageCharWidth() * 60);
    dtp->setMaximumWidth(dtp->sizeHint().width() * 2);
    fields->setColumnStretch(4, 1);

    auto* sky = new QVBoxLayout;
    sky->addWidget(lblGeo);
    sky->addWidget(lblGeoZone);
    sky->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(fields, 1);
    bottom->addWidget(imgMoon);
    bottom->addLayout(sky);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(imgGeo, 1);
    layout->addLayout(bottom);
    ConnectHandlers();
}

void GeoPage::ConnectHandlers() {
    connect(imgGeo, &ScalableImageView::MouseDown, this, &GeoPage::imgGeoMouseDown);
    connect(imgGeo, &ScalableImageView::MouseMove, this, &GeoPage::imgGeoMouseMove);
    connect(imgGeo, &ScalableImageView::MouseEnter, this, &GeoPage::imgGeoMouseEnter);
    connect(imgGeo, &ScalableImageView::MouseLeave, this, &GeoPage::imgGeoMouseLeave);
    connect(edtLat, &QLineEdit::textChanged, this, &GeoPage::edtLatChange);
    connect(edtLon, &QLineEdit::textChanged, this, &GeoPage::edtLatChange);
    connect(dtp, &QDateEdit::dateChanged, this, &GeoPage::dtpChange);
    connect(trbTime, &QSlider::valueChanged, this, &GeoPage::trbTimeChange);
    connect(edtTime, &QLineEdit::textChanged, this, &GeoPage::edtTimeChange);
    // The stored values shown again are no input: their handlers stay out of it.
    const auto restore = [this](QLineEdit* edit, std::function<QString()> stored) {
        RestoreWhenLeft(edit, this, [edit, stored] {
            const QSignalBlocker quiet(edit);
            edit->setText(stored());
        });
    };
    restore(edtLat, [this] { return CoordinateText(state_.Config.Lat); });
    restore(edtLon, [this] { return CoordinateText(state_.Config.Lon); });
    restore(edtTime, [this] { return ClockText(state_.Info.Hour, state_.Info.Minute); });
    connect(btnNow, &QPushButton::clicked, this, &GeoPage::btnNowClick);
}

bool GeoPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imgMoon && event->type() == QEvent::MouseButtonDblClick) {
        imgMoonDblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Refresh ------------------------------------------------------------------------------

void GeoPage::ShowPlace(const ConfigBlock& config) {
    SetTextUnlessFocused(edtLat, CoordinateText(config.Lat));
    SetTextUnlessFocused(edtLon, CoordinateText(config.Lon));
}

void GeoPage::ShowClock(const InfoBlock& info) {
    SetTextUnlessFocused(edtTime, ClockText(info.Hour, info.Minute));
    SetPositionUnlessFocused(trbTime, info.Hour * 60 + info.Minute);
    const QDate date(2000 + info.Year, info.Month, info.Day);
    // Setting the date formats it anew even when it is the same: twice a second otherwise.
    if (date.isValid() && date != dtp->date() && !HasFocusWithin(dtp))
        dtp->setDate(date);
}

void GeoPage::RefreshGeo() {
    const InfoBlock& info = state_.Info;
    // The status is read twice a second; the sky only changes with the minute or the place.
    const DrawnSky sky{state_.Config.Lat, state_.Config.Lon, info.Year,  info.Month,
                       info.Day,          info.Hour,         info.Minute};
    if (sky == drawnSky_)
        return;
    drawnSky_ = sky;
    const double latitude = state_.Config.Lat * 0.1;
    const double longitude = state_.Config.Lon * 0.1;
    imgGeo->SetPicture(MarkedWorldMap({latitude, longitude}, imgGeo->devicePixelRatioF()));

    QImage moon = MoonCanvas();
    const GeoMoment local{info.Year + 2000, info.Month, info.Day, info.Hour, info.Minute};
    int tz = 0;
    try {
        tz = TimeZoneHours(local);
    } catch (const std::invalid_argument&) {
        // A clock that names no moment (a typed 25:99) has no sky: nothing stale stays shown.
        lblGeo->clear();
        lblGeoZone->clear();
        ShowMoonPicture(moon);
        return;
    }
    // On a floating-point error the text stops where it arose, and there is no moon to draw.
    const GeoReport report = BuildGeoReport(latitude, longitude, local, tz, QLocale());
    lblGeo->setText(report.Text);
    // The astronomy counts in the zone's whole hours, and so do the times it gives.
    lblGeoZone->setText(TranslateFormat(QStringLiteral("GeoZone"), {UtcOffsetText(tz)}));
    if (report.Complete) {
        const TBodyPosition& body = report.Sky.Moon;
        // Waxing (age up to 180°) is lit on the right.
        DrawMoonPhase(moon, MoonColour, float(body.Illumination), body.Age <= TwoPi / 2 ? 180 : 0,
                      MoonRadius, MoonCentre, MoonCentre);
    }
    ShowMoonPicture(moon);
}

// Empty, at the screen's pixel ratio: the moon is drawn in the picture's 60 × 60 points.
QImage GeoPage::MoonCanvas() const {
    const qreal ratio = imgMoon->devicePixelRatioF();
    QImage moon(QSize(MoonPictureSize, MoonPictureSize) * ratio,
                QImage::Format_ARGB32_Premultiplied);
    moon.setDevicePixelRatio(ratio);
    moon.fill(Qt::transparent);
    return moon;
}

void GeoPage::ShowMoonPicture(const QImage& picture) {
    imgMoon->setPixmap(QPixmap::fromImage(picture));
}

// ---- Handlers -----------------------------------------------------------------------------

void GeoPage::imgGeoMouseDown(QPoint picturePoint) {
    const GeoPoint place = MapPixelToGeo(picturePoint);
    state_.Config.Lat = Tenths(place.Latitude);
    state_.Config.Lon = Tenths(place.Longitude);
    // The unrounded place; the click took the focus from the edits, so they do not write back.
    edtLat->setText(FormatNumber(place.Latitude, 1));
    edtLon->setText(FormatNumber(place.Longitude, 1));
    RefreshGeo();
    state_.Raise(rqSetConfig);
}

void GeoPage::imgGeoMouseMove(QPoint picturePoint) {
    const GeoPoint place = MapPixelToGeo(picturePoint);
    emit StatusPanelText(Translate(QStringLiteral("MousePosition")) + QStringLiteral(": ") +
                         Translate(QStringLiteral("Latitude")) + QStringLiteral(": ") +
                         FormatNumber(place.Latitude, 1) + QStringLiteral("°, ") +
                         Translate(QStringLiteral("Longitude")) + QStringLiteral(": ") +
                         FormatNumber(place.Longitude, 1) + QStringLiteral("°"));
}

void GeoPage::imgGeoMouseEnter() {
    imgGeo->viewport()->setCursor(Qt::CrossCursor);
}

void GeoPage::imgGeoMouseLeave() {
    imgGeo->viewport()->unsetCursor();
    emit StatusPanelText(QString());
}

void GeoPage::edtLatChange() {
    if (!edtLat->hasFocus() && !edtLon->hasFocus())
        return;
    std::optional<int16_t> latitude;
    std::optional<int16_t> longitude;
    try {
        latitude = TypedTenths(edtLat, QStringLiteral("Lat"));
        longitude = TypedTenths(edtLon, QStringLiteral("Lon"));
    } catch (const ConversionError&) {
        return; // a number still being typed changes nothing
    }
    if (!latitude || !longitude)
        return;
    state_.Config.Lat = *latitude;
    state_.Config.Lon = *longitude;
    RefreshGeo();
    state_.Raise(rqSetConfig);
}

void GeoPage::dtpChange() {
    if (!HasFocusWithin(dtp))
        return;
    const QDate date = dtp->date();
    state_.Info.Day = uint8_t(date.day());
    state_.Info.Month = uint8_t(date.month());
    state_.Info.Year = int8_t(date.year() - 2000);
    RefreshGeo();
    state_.Raise(rqSetTime);
}

void GeoPage::trbTimeChange() {
    if (!trbTime->hasFocus())
        return;
    const int position = trbTime->value();
    const int hour = position / 60;
    const int minute = position % 60;
    if (hour == state_.Info.Hour && minute == state_.Info.Minute)
        return;
    state_.Info.Hour = uint8_t(hour);
    state_.Info.Minute = uint8_t(minute);
    if (!edtTime->hasFocus())
        edtTime->setText(ClockText(hour, minute));
    RefreshGeo();
    state_.Raise(rqSetTime);
}

void GeoPage::edtTimeChange() {
    if (!edtTime->hasFocus())
        return;
    const QString text = edtTime->text();
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return;
    bool hourOk = false;
    bool minuteOk = false;
    const int hour = text.left(colon).toInt(&hourOk);
    const int minute = text.mid(colon + 1).toInt(&minuteOk);
    if (!hourOk || !minuteOk)
        return;
    // The controller's clock knows no 25:99: such a time stays in the edit only.
    const bool inDay = hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
    if (!ShowTyped(edtTime, inDay ? TypedValue::Taken : TypedValue::Refused,
                   RangeBetween(ClockText(0, 0), ClockText(23, 59))))
        return;
    trbTime->setValue(hour * 60 + minute);
    state_.Info.Hour = uint8_t(hour);
    state_.Info.Minute = uint8_t(minute);
    RefreshGeo();
    state_.Raise(rqSetTime);
}

void GeoPage::btnNowClick() {
    SetRealtime(state_);
    emit RealtimeSet();
    const QDateTime now = QDateTime::currentDateTime();
    // Set for the user, not by the user: the controls' own handlers stay out of it even when
    // the menu entry reaches here while one of them has the focus.
    {
        const QSignalBlocker quiet(dtp);
        dtp->setDate(now.date());
    }
    SetClock(state_, now);
    const InfoBlock& info = state_.Info;
    {
        const QSignalBlocker quietEdit(edtTime);
        const QSignalBlocker quietSlider(trbTime);
        edtTime->setText(ClockText(info.Hour, info.Minute));
        trbTime->setValue(info.Hour * 60 + info.Minute);
    }
    RefreshGeo();
}

void GeoPage::imgMoonDblClick() {
    emit ConfigPageWanted();
}

} // namespace zel
