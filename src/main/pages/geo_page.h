// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cfg/device_state.h"
#include "main/views/scalable_image_view.h"
#include "main/widgets/labeled_edit.h"

#include <QDateEdit>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

#include <array>
#include <optional>

namespace zel {

// The page "Geo" (tsGeo): the place on the world map, the controller's date and time, and the
// sun and moon for them. Place changes go to Config with rqSetConfig, clock changes to Info
// with rqSetTime. Each handler acts only while its control has the keyboard focus, so that
// the window's refreshes of these controls never write back.
class GeoPage : public QWidget {
    Q_OBJECT
public:
    GeoPage(DeviceState& state, QWidget* parent);

    ScalableImageView* imgGeo;
    QLabel* lblGeo;
    // The offset from universal time of the rise and set times in lblGeo.
    QLabel* lblGeoZone;
    // Says that the date and time below are the controller's clock.
    QLabel* lblGeoClock;
    LabeledEdit* edtLat;
    LabeledEdit* edtLon;
    QLabel* imgMoon;
    QDateEdit* dtp;
    QSlider* trbTime;
    LabeledEdit* edtTime;
    QPushButton* btnNow;

    // The world map as the resource holds it: every drawing of imgGeo starts from it.
    const QImage GeoMapBitmap;

    // Latitude and longitude from Config, unless focused.
    void ShowPlace(const ConfigBlock& config);
    // Time edit, time slider and date picker from the Info clock, unless focused; a date the
    // controller cannot have leaves the picker alone.
    void ShowClock(const InfoBlock& info);

    // Map marker, sun and moon text and moon picture from Config and Info.
    void RefreshGeo();

    // Mouse positions in picture pixels.
    void imgGeoMouseDown(QPoint picturePoint);
    void imgGeoMouseMove(QPoint picturePoint);
    void imgGeoMouseEnter();
    void imgGeoMouseLeave();
    void edtLatChange();
    void dtpChange();
    void trbTimeChange();
    void edtTimeChange();
    // Real time, and the controller clock := the PC clock.
    void btnNowClick();
    void imgMoonDblClick();

signals:
    // Text for status panel 0 (not logged).
    void StatusPanelText(const QString& text);
    // Config.TimeLapse was set back to real time.
    void RealtimeSet();
    void ConfigPageWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QImage MoonCanvas() const;
    void ShowMoonPicture(const QImage& picture);
    void ConnectHandlers();

    // What the last drawing showed: place and minute.
    using DrawnSky = std::array<int, 7>;

    DeviceState& state_;
    std::optional<DrawnSky> drawnSky_;
};

} // namespace zel
