#include "skinstatic.h"

#include <QMouseEvent>

CSkinStatic::CSkinStatic(QWidget *parent) : QWidget(parent)
{
    // Whatever is drawn into the surface stays; Qt must not clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CSkinStatic::paintEvent(QPaintEvent *) {}

void CSkinStatic::mousePressEvent(QMouseEvent *event)
{
    if (toggling) {
        on = !on;
        update();
    }
    QWidget::mousePressEvent(event);
}
