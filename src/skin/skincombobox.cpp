#include "skincombobox.h"

#include <QPainter>

CSkinComboBox::CSkinComboBox(QWidget *parent) : QComboBox(parent)
{
    setStyleSheet(QStringLiteral("QComboBox { background: white; color: black; border: 1px solid rgb(70, 70, 80);"
                                 " padding: 1px 4px; }"
                                 "QComboBox QAbstractItemView { background: white; color: black;"
                                 " selection-background-color: rgb(115, 123, 165); selection-color: white; }"));
}

void CSkinComboBox::paintEvent(QPaintEvent *event)
{
    // The erase colour; the box itself paints over all of it.
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(255, 16, 16));
    }
    QComboBox::paintEvent(event);
}
