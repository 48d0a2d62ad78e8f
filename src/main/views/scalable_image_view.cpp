// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/scalable_image_view.h"

#include "main/views/image_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace zel {

ScalableImageView::ScalableImageView(QWidget* parent) : QAbstractScrollArea(parent) {
    viewport()->setMouseTracking(true);
    // A click on the picture takes the focus from the edits, so they can be written to.
    setFocusPolicy(Qt::ClickFocus);
}

void ScalableImageView::SetPicture(const QImage& picture) {
    const bool resized = LogicalSize(picture) != LogicalSize(picture_);
    picture_ = picture;
    if (resized)
        UpdateGeometry();
    viewport()->update();
}

void ScalableImageView::UpdateGeometry() {
    if (picture_.isNull())
        return;
    // Fitted to the room the view has without scroll bars, so that showing them cannot
    // change the scale again.
    const QSize room = maximumViewportSize();
    const QSize picture = LogicalSize(picture_);
    const double fit =
        std::min(double(room.width()) / picture.width(), double(room.height()) / picture.height());
    scale_ = std::max(fit, MinimumScale);
    const QSize shown(int(std::ceil(picture.width() * scale_)),
                      int(std::ceil(picture.height() * scale_)));
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, shown.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, std::max(0, shown.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
}

QPointF ScalableImageView::Origin() const {
    const QSizeF shown = QSizeF(LogicalSize(picture_)) * scale_;
    const QSize view = viewport()->size();
    // Centred while it fits, else scrolled.
    return QPointF(shown.width() < view.width() ? (view.width() - shown.width()) / 2
                                                : -double(horizontalScrollBar()->value()),
                   shown.height() < view.height() ? (view.height() - shown.height()) / 2
                                                  : -double(verticalScrollBar()->value()));
}

QPoint ScalableImageView::ControlToPicture(QPoint viewportPoint) const {
    const QPointF picture = (QPointF(viewportPoint) - Origin()) / scale_;
    return QPoint(int(std::floor(picture.x())), int(std::floor(picture.y())));
}

void ScalableImageView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    // Nearest neighbour: no smoothing hint.
    painter.drawImage(QRectF(Origin(), QSizeF(LogicalSize(picture_)) * scale_), picture_);
}

void ScalableImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateGeometry();
}

void ScalableImageView::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(ControlToPicture(event->position().toPoint()));
}

void ScalableImageView::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove(ControlToPicture(event->position().toPoint()));
}

bool ScalableImageView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Enter)
        emit MouseEnter();
    else if (event->type() == QEvent::Leave)
        emit MouseLeave();
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace zel
