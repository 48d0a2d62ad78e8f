#pragma once

#include "cfg/records.h"
#include "main/labeled_edit.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

namespace zel {

// The page "Geo" (tsGeo): the place on the world map, the controller's date and time, and the
// sun and moon for them.
class GeoPage : public QWidget {
    Q_OBJECT
public:
    explicit GeoPage(QWidget* parent);

    QLabel* imgGeo;
    QLabel* lblGeo;
    LabeledEdit* edtLat;
    LabeledEdit* edtLon;
    QLabel* imgMoon;
    QDateEdit* dtp;
    QSlider* trbTime;
    LabeledEdit* edtTime;
    QPushButton* btnNow;

    // Latitude and longitude from Config, unless focused.
    void ShowPlace(const ConfigBlock& config);
    // Time edit, time slider and date picker from the Info clock, unless focused; a date the
    // controller cannot have leaves the picker alone.
    void ShowClock(const InfoBlock& info);
};

} // namespace zel
