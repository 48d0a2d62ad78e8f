#include "main/visualize_page.h"

#include "main/widgets.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zel {

VisualizePage::VisualizePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsVisualize"));
    lblVisualize = Named(new QLabel(this), QStringLiteral("lblVisualize"));
    cmbVisualize = Named(new QComboBox(this), QStringLiteral("cmbVisualize"));
    cmbVisualize->setMinimumContentsLength(16);
    cbxTimeLock = Named(new QCheckBox(this), QStringLiteral("cbxTimeLock"));
    img = Named(new QLabel(this), QStringLiteral("img"));
    // The picture starts black, as every drawing of it does.
    img->setStyleSheet(QStringLiteral("background-color: black"));
    img->setMinimumSize(200, 120);
    img->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);

    auto* top = new QHBoxLayout;
    top->addWidget(lblVisualize);
    top->addWidget(cmbVisualize);
    top->addStretch(1);
    top->addWidget(cbxTimeLock);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(img, 1);
}

void VisualizePage::SetChannelNames(const QStringList& names) {
    const QSignalBlocker quiet(cmbVisualize);
    cmbVisualize->setUpdatesEnabled(false);
    cmbVisualize->clear();
    cmbVisualize->addItems(names);
    cmbVisualize->setUpdatesEnabled(true);
    cmbVisualize->setCurrentIndex(visualisedChannel_);
}

void VisualizePage::SetConnected(bool connected) {
    setEnabled(connected);
    SetEnabled({lblVisualize, cmbVisualize, cbxTimeLock}, connected);
}

} // namespace zel
