#include "main/geo_page.h"

#include "cfg/conversions.h"
#include "main/widgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QVBoxLayout>

namespace zel {

namespace {
constexpr int MinutesPerDay = 1440;
constexpr int MoonPictureSize = 60;
} // namespace

GeoPage::GeoPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsGeo"));
    imgGeo = Named(new QLabel(this), QStringLiteral("imgGeo"));
    imgGeo->setMinimumSize(500, 250);
    imgGeo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    imgGeo->setFrameShape(QFrame::StyledPanel);
    lblGeo = Named(new QLabel(this), QStringLiteral("lblGeo"));
    lblGeo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    imgMoon = Named(new QLabel(this), QStringLiteral("imgMoon"));
    imgMoon->setFixedSize(MoonPictureSize, MoonPictureSize);
    dtp = Named(new QDateEdit(this), QStringLiteral("dtp"));
    dtp->setCalendarPopup(true);
    dtp->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    trbTime = MakeSlider(QStringLiteral("trbTime"), 0, MinutesPerDay - 1, 60, 60, this);
    btnNow = Named(new QPushButton(this), QStringLiteral("btnNow"));

    auto* fields = new QGridLayout;
    edtLat = AddEdit(fields, 0, QStringLiteral("edtLat"), this);
    edtLon = AddEdit(fields, 1, QStringLiteral("edtLon"), this);
    edtTime = AddEdit(fields, 2, QStringLiteral("edtTime"), this);
    fields->addWidget(trbTime, 2, 2);
    fields->addWidget(btnNow, 2, 3);
    fields->addWidget(dtp, 3, 1, 1, 2);
    fields->setColumnStretch(2, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(fields, 1);
    bottom->addWidget(imgMoon);
    bottom->addWidget(lblGeo);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(imgGeo, 1);
    layout->addLayout(bottom);
}

void GeoPage::ShowPlace(const ConfigBlock& config) {
    SetTextUnlessFocused(edtLat, CoordinateText(config.Lat));
    SetTextUnlessFocused(edtLon, CoordinateText(config.Lon));
}

void GeoPage::ShowClock(const InfoBlock& info) {
    SetTextUnlessFocused(edtTime, QStringLiteral("%1:%2")
                                      .arg(info.Hour, 2, 10, QLatin1Char('0'))
                                      .arg(info.Minute, 2, 10, QLatin1Char('0')));
    SetPositionUnlessFocused(trbTime, info.Hour * 60 + info.Minute);
    const QDate date(2000 + info.Year, info.Month, info.Day);
    if (date.isValid() && !dtp->hasFocus())
        dtp->setDate(date);
}

} // namespace zel
