#include "main/chart_page.h"

#include "main/widgets.h"

#include <QVBoxLayout>

namespace zel {

ChartPage::ChartPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsTemp"));
    imgTemp = Named(new QLabel(this), QStringLiteral("imgTemp"));
    // The picture starts black, as the other drawing surfaces do.
    imgTemp->setStyleSheet(QStringLiteral("background-color: black"));
    imgTemp->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    pumChart = Named(new QMenu(this), QStringLiteral("pumChart"));
    mnuCHMTempWater = Named(pumChart->addAction(QString()), QStringLiteral("mnuCHMTempWater"));
    mnuCHMTempBoard = Named(pumChart->addAction(QString()), QStringLiteral("mnuCHMTempBoard"));
    mnuCHMVoltage = Named(pumChart->addAction(QString()), QStringLiteral("mnuCHMVoltage"));
    mnuCHMTempSlave = Named(pumChart->addAction(QString()), QStringLiteral("mnuCHMTempSlave"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(imgTemp, 1);
}

void ChartPage::SetConnected(bool connected) {
    imgTemp->setEnabled(connected);
}

} // namespace zel
