// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

namespace zel {

// A picture shown as large as its view allows with its proportions kept, scaled without
// smoothing so every picture pixel stays a sharp block. Below MinimumScale it stops
// shrinking and scroll bars appear instead. Mouse positions are reported in picture pixels,
// with zoom and scrolling undone; they may lie outside the picture. A picture with a device
// pixel ratio counts in its device-independent pixels.
class ScalableImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double MinimumScale = 0.5;

    explicit ScalableImageView(QWidget* parent);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    double Scale() const { return scale_; }
    // The picture pixel under a point of the viewport.
    QPoint ControlToPicture(QPoint viewportPoint) const;

signals:
    void MouseDown(QPoint picturePoint);
    void MouseMove(QPoint picturePoint);
    void MouseEnter();
    void MouseLeave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void UpdateGeometry();
    // Top-left corner of the picture in viewport coordinates.
    QPointF Origin() const;

    QImage picture_;
    double scale_ = 1;
};

} // namespace zel
