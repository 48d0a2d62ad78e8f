#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

namespace zel {

// A picture drawn by the program: a 32-bit image the size of the control, shown at its
// pixels without scaling, with the mouse reported in those pixels. A drawing brackets its
// work with BeginUpdate and EndUpdate, so that the control repaints once per drawing.
class ImageBox : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent);

    // The image sized to the control, ready to be drawn on.
    QImage& BeginUpdate();
    // Repaints the control with what was drawn.
    void EndUpdate();
    const QImage& Picture() const { return picture_; }

signals:
    void MouseDown(Qt::MouseButton button, QPoint point);
    void MouseMove(Qt::MouseButtons buttons, QPoint point);
    void MouseUp(Qt::MouseButton button, QPoint point);
    void MouseEnter();
    void MouseLeave();
    void Resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage picture_;
};

} // namespace zel
