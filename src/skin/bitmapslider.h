// A horizontal slider drawn from bitmaps: a track, the filled part of the track left of the
// thumb, and a thumb with a second image while it is dragged. It posts its moves to the
// owner window: "SEEK" sliders WM_SEEK_TO(0, 1), every other WM_SLIDER_MOVED(id, 1); the
// owner reads the new position from the slider.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class CBitmapSlider : public QWidget
{
    Q_OBJECT
public:
    explicit CBitmapSlider(QWidget *parent = nullptr);

    // Only the top-left corner of `rect` counts: the track bitmap gives the size.
    bool Create(const QString &text, const QRect &rect, QWidget *parent, int id);

    // The track takes the control's size; `filled` is drawn left of the thumb.
    void SetBitmapChannel(const QPixmap &track, const QPixmap &filled = QPixmap());
    void SetBitmapThumb(const QPixmap &thumb, const QPixmap &dragged = QPixmap());
    void SetRange(int min, int max);
    // Clamped to max, then to min; repaints.
    void SetPos(int pos);
    int GetPos() const { return pos; }
    int GetRangeMin() const { return min; }
    int GetRangeMax() const { return max; }
    void SetPageSize(int size) { page = size; }
    void DrawFocusRect(bool draw) { drawFocusRect = draw; }
    void SetOwner(QObject *window) { owner = window; }
    void Enable(bool enable);

    int id() const { return controlId; }
    QString text() const { return windowText; }
    bool isDragging() const { return dragging; }

    // Geometry in pixels. With an empty range (min == max) or a thumb as wide as the track
    // there is nothing to divide by: the thumb rests at the left end, every x maps to min.
    int thumbCentre(int position) const;
    int positionAt(int centre) const;

    QSize sizeHint() const override { return {width, height}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void dragTo(int mouseX);
    void notifyOwner();

    int controlId = 0;
    QString windowText;
    int max = 100;
    int min = 0;
    int pos = 0; // always within min..max
    int page = 20;
    int width = 0, height = 0;           // of the track bitmap, the control's own size
    int thumbWidth = 0, thumbHeight = 0;
    int dragOffset = 0; // mouse x minus thumb centre when a drag started on the thumb
    bool hasFilled = false;
    bool hasDraggedThumb = false;
    bool thumbSet = false, trackSet = false;
    bool dragging = false;
    bool focused = false;
    bool drawFocusRect = true;
    bool enabled = true;
    QPixmap track, filled, thumb, draggedThumb;
    QPointer<QObject> owner; // receives the notifications
};
