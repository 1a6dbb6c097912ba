#include "skinbutton.h"

#include "appmessages.h"
#include "skinresources.h"
#include "windowregistry.h"

#include <QPainter>
#include <QTimerEvent>

CSkinButton::CSkinButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        sendAppMessage(owner.data(), WM_PLAYER_COMMAND, WPARAM(controlId), 0);
    });
}

bool CSkinButton::Create(const QString &caption, const QRect &rect, QWidget *parent, int id)
{
    controlId = id;
    owner = parent;
    setParent(parent);
    setText(caption);
    setToolTip(caption);
    setGeometry(rect);
    width = rect.width();
    height = rect.height();
    show();
    return true;
}

void CSkinButton::SetBitmaps(const QPixmap &pressedAndDisabled, const QPixmap &normalImage, const QPixmap &hoverImage,
                             int x, int y, int w, int h)
{
    pressed = disabled = pressedAndDisabled;
    normal = normalImage;
    hover = hoverImage;
    sourceX = x;
    sourceY = y;
    width = w;
    height = h;
    bitmapsSet = true;
    update();
}

void CSkinButton::SetBitmapIds(int normalId, int hoverId, int pressedId, int w, int h)
{
    SetBitmaps(skinBitmap(pressedId), skinBitmap(normalId), skinBitmap(hoverId), 0, 0, w, h);
}

const QPixmap &CSkinButton::currentImage() const
{
    if (isDown())
        return pressed;
    if (!isEnabled())
        return disabled;
    if (hovering && !hover.isNull())
        return hover;
    return normal;
}

void CSkinButton::paintEvent(QPaintEvent *)
{
    foregroundTimer.stop();
    if (!bitmapsSet)
        return;
    const QPixmap &image = currentImage();
    if (&image == &hover && !isDown() && isEnabled())
        foregroundTimer.start(kForegroundDelayMs, this);
    QPainter painter(this);
    painter.drawPixmap(QPoint(0, 0), image, QRect(sourceX, sourceY, width, height));
}

void CSkinButton::enterEvent(QEnterEvent *event)
{
    tracking = true;
    hovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent *event)
{
    tracking = false;
    hovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != foregroundTimer.timerId())
        return QAbstractButton::timerEvent(event);
    foregroundTimer.stop();
    if (QWidget *mainWindow = WindowRegistry::Get().Find(IDD_MAIN)) {
        mainWindow->raise();
        mainWindow->activateWindow();
    }
}

CSkinButton *createSkinButton(QWidget *parent, const QString &caption, int id, int x, int y, int width, int height,
                              int normalId, int hoverId, int pressedId)
{
    auto *button = new CSkinButton;
    button->Create(caption, QRect(x, y, width, height), parent, id);
    button->SetBitmapIds(normalId, hoverId, pressedId, width, height);
    return button;
}
