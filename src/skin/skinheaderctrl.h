// The skinned list's column header, drawn from the program's own bitmaps 140 (right edge),
// 141 (body, stretched) and 142 (left edge of the first column), with white, centred,
// elided titles. Columns can be dragged to new places.
#pragma once

#include <QHeaderView>

class CSkinHeaderCtrl : public QHeaderView
{
    Q_OBJECT
public:
    static constexpr int kHeight = 20;

    explicit CSkinHeaderCtrl(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
};
