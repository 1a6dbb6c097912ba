// A static control that draws nothing itself: the surface a video channel is rendered into.
// With toggling enabled a click flips its on flag.
#pragma once

#include <QString>
#include <QWidget>

class CSkinStatic : public QWidget
{
    Q_OBJECT
public:
    explicit CSkinStatic(QWidget *parent = nullptr);

    void setToggling(bool enabled) { toggling = enabled; }
    bool isOn() const { return on; }

    QString text1, text2;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool toggling = false;
    bool on = false;
};
