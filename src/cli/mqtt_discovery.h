// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/mqtt_options.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zel {

struct MqttMessage {
    QString Topic;
    QByteArray Payload;
};

// The Home Assistant discovery configs of one controller: sensors for the board and water
// temperatures and the input voltage, a select of the mode, a light per channel with a
// brightness of 0 to 100, and buttons for a cloud, a thunderstorm and the clock. `firmware`
// is the version the controller identified itself with.
QList<MqttMessage> DiscoveryConfigs(const MqttOptions& options, const QString& firmware);

} // namespace zel
