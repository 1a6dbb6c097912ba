// The report-style list of the file list window: black body, its own selection colours
// instead of the platform's highlight, full-row selection, a bitmap-drawn header and thin
// dark scroll bars.
#pragma once

#include <QTreeWidget>

class CSkinHeaderCtrl;

class CSkinListCtrl : public QTreeWidget
{
    Q_OBJECT
public:
    static constexpr QColor kTextColor{158, 177, 187};
    static constexpr QColor kSelectedText{229, 229, 229};
    static constexpr QColor kSelectedBackground{115, 123, 165};

    explicit CSkinListCtrl(QWidget *parent = nullptr);

    // Columns as the list-view API makes them: titles and widths in pixels.
    void setColumns(const QStringList &titles, const QList<int> &widths);
    // Appends a row of texts; returns its index.
    int appendRow(const QStringList &texts);

    CSkinHeaderCtrl *skinHeader() const { return header; }

private:
    CSkinHeaderCtrl *header; // owned by the view
};
