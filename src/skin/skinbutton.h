// A push button drawn from skin bitmaps that reports its click to its parent as
// WM_PLAYER_COMMAND with its control id (sent, so the parent has handled it when the click
// returns). Every window builds its buttons with createSkinButton().
#pragma once

#include <QAbstractButton>
#include <QBasicTimer>
#include <QPixmap>
#include <QPointer>

class CSkinButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit CSkinButton(QWidget *parent = nullptr);

    // Stores id and parent, places the button at `rect` inside `parent` and shows the
    // caption as its tool tip.
    bool Create(const QString &caption, const QRect &rect, QWidget *parent, int id);
    // The disabled look is the pressed image. Only width x height from (sourceX, sourceY)
    // of each image is drawn.
    void SetBitmaps(const QPixmap &pressedAndDisabled, const QPixmap &normal, const QPixmap &hover, int sourceX,
                    int sourceY, int width, int height);
    // The same from skin bitmap ids, in the factory's order (normal, hover, pressed).
    void SetBitmapIds(int normalId, int hoverId, int pressedId, int width, int height);

    int id() const { return controlId; }
    bool isHovering() const { return hovering; }

    // Which image the next paint shows (pressed, disabled, hover or normal).
    const QPixmap &currentImage() const;

    QSize sizeHint() const override { return {width, height}; }

    // Delay before a hovered button brings the main window to the foreground (ms).
    static constexpr int kForegroundDelayMs = 250;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    int controlId = 0;
    QPixmap normal, hover, pressed, disabled;
    int sourceX = 0, sourceY = 0;
    int width = 0, height = 0;
    QPointer<QWidget> owner; // the parent given at creation: receives WM_PLAYER_COMMAND
    bool hovering = false;
    bool tracking = false;
    bool bitmapsSet = false;
    QBasicTimer foregroundTimer; // started while the hover image shows
};

// Creates a visible skinned button with the caption as tool tip, at (x, y) in the given
// size, with the three bitmaps of the resource library.
CSkinButton *createSkinButton(QWidget *parent, const QString &caption, int id, int x, int y, int width, int height,
                              int normalId, int hoverId, int pressedId);
