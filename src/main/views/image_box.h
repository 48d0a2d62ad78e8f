// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>

namespace zel {

// A picture drawn by the program: a 32-bit image the size of the control at the screen's
// device pixel ratio, so that it stays sharp on a scaled screen. Drawings paint in the
// control's (device-independent) pixels, in which the mouse is reported too.
class ImageBox : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent);

    // Sizes the image to the control and the screen, runs the drawing on it and repaints the
    // control once.
    // A drawing that fails leaves what it had drawn; the control stays usable.
    void Draw(const std::function<void(QImage&)>& drawing);
    const QImage& Picture() const { return picture_; }

signals:
    void MouseDown(Qt::MouseButton button, QPoint point);
    void MouseMove(Qt::MouseButtons buttons, QPoint point);
    void MouseUp(Qt::MouseButton button, QPoint point);
    void MouseEnter();
    void MouseLeave();
    // The control has a size the picture does not have yet: on a resize, when it is shown
    // after a resize it did not see while hidden, and on a screen of another pixel ratio.
    void Resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The image's size for this control on its screen, in device pixels.
    QSize DeviceSize() const;

    QImage picture_;
};

// The size a drawing paints in: the image's, in device-independent pixels.
inline QSize LogicalSize(const QImage& image) {
    return image.deviceIndependentSize().toSize();
}

} // namespace zel
