// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/views/image_box.h"

#include <QMouseEvent>
#include <QPainter>

namespace zel {

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {
    // The picture covers the whole control: nothing to erase below it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

QSize ImageBox::DeviceSize() const {
    return (QSizeF(size()) * devicePixelRatioF()).toSize();
}

void ImageBox::Draw(const std::function<void(QImage&)>& drawing) {
    // Not laid out yet (a page never shown): there is nothing to draw on until Resized.
    if (DeviceSize().isEmpty()) {
        picture_ = QImage();
        return;
    }
    if (picture_.size() != DeviceSize() || picture_.devicePixelRatio() != devicePixelRatioF()) {
        picture_ = QImage(DeviceSize(), QImage::Format_ARGB32_Premultiplied);
        picture_.setDevicePixelRatio(devicePixelRatioF());
    }
    try {
        drawing(picture_);
    } catch (const std::exception&) {
        // Drawing errors are the picture's own: the next drawing starts anew.
    }
    update();
}

void ImageBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture_);
    // Between a resize and the next drawing the picture may not cover the control.
    const QRegion uncovered =
        QRegion(event->rect()).subtracted(QRegion(QRect(QPoint(0, 0), LogicalSize(picture_))));
    for (const QRect& rect : uncovered)
        painter.fillRect(rect, palette().window());
    // Moved to a screen of another pixel ratio: drawn anew for it, after this paint.
    if (!picture_.isNull() && picture_.devicePixelRatio() != devicePixelRatioF())
        QMetaObject::invokeMethod(this, &ImageBox::Resized, Qt::QueuedConnection);
}

void ImageBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit Resized();
}

void ImageBox::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (picture_.size() != DeviceSize())
        emit Resized();
}

void ImageBox::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->button(), event->position().toPoint());
}

void ImageBox::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove(event->buttons(), event->position().toPoint());
}

void ImageBox::mouseReleaseEvent(QMouseEvent* event) {
    emit MouseUp(event->button(), event->position().toPoint());
}

void ImageBox::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    emit MouseEnter();
}

void ImageBox::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit MouseLeave();
}

} // namespace zel
