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

void ImageBox::Draw(const std::function<void(QImage&)>& drawing) {
    if (picture_.size() != size())
        picture_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    try {
        drawing(picture_);
    } catch (const std::exception&) {
        // Drawing errors are the picture's own: the next drawing starts anew.
    }
    update();
}

void ImageBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect().topLeft(), picture_, event->rect());
    // Between a resize and the next drawing the picture may not cover the control.
    const QRegion uncovered = QRegion(event->rect()).subtracted(QRegion(picture_.rect()));
    for (const QRect& rect : uncovered)
        painter.fillRect(rect, palette().window());
}

void ImageBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit Resized();
}

void ImageBox::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (picture_.size() != size())
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
