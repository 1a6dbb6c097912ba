#include "textbox.h"

#include <QPainter>

CTextBox::CTextBox(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTextBox::SetText(const QString &text)
{
    if (text == boxText)
        return;
    boxText = text;
    repaint();
}

void CTextBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(16, 16, 16));
    painter.setPen(color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, boxText);
}
