// A static text in a fixed colour on the dark background (the control panel's time and
// speed displays). Setting the text it already shows does not repaint it.
#pragma once

#include <QColor>
#include <QWidget>

class CTextBox : public QWidget
{
    Q_OBJECT
public:
    explicit CTextBox(QWidget *parent = nullptr);

    void SetText(const QString &text);
    QString text() const { return boxText; }
    QColor textColor() const { return color; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString boxText = QStringLiteral("00:00");
    QColor color{92, 102, 127};
};
