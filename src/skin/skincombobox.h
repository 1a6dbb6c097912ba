// A drop-down list in the skin's fixed colours: white list, dark text.
#pragma once

#include <QComboBox>

class CSkinComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit CSkinComboBox(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
