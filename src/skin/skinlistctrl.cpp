#include "skinlistctrl.h"

#include "skinheaderctrl.h"

#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// Draws rows in the list's colours: selected rows in their own colours, never with the
// platform's highlight or focus frame.
class SkinRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const bool selected = opt.state & QStyle::State_Selected;
        painter->fillRect(opt.rect, selected ? CSkinListCtrl::kSelectedBackground : QColor(Qt::black));
        painter->setPen(selected ? CSkinListCtrl::kSelectedText : CSkinListCtrl::kTextColor);
        painter->setFont(opt.font);
        const QRect textRect = opt.rect.adjusted(6, 0, -4, 0);
        painter->drawText(textRect, int(opt.displayAlignment | Qt::AlignVCenter),
                          opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, textRect.width()));
    }
};

constexpr const char *kScrollBarStyle =
    "QScrollBar:vertical { background: rgb(20, 20, 24); width: 10px; margin: 0; }"
    "QScrollBar:horizontal { background: rgb(20, 20, 24); height: 10px; margin: 0; }"
    "QScrollBar::handle { background: rgb(70, 74, 92); border-radius: 3px; min-height: 20px; min-width: 20px; }"
    "QScrollBar::handle:hover { background: rgb(115, 123, 165); }"
    "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
    "QScrollBar::add-page, QScrollBar::sub-page { background: none; }";

} // namespace

CSkinListCtrl::CSkinListCtrl(QWidget *parent) : QTreeWidget(parent), header(new CSkinHeaderCtrl(this))
{
    setHeader(header);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setFrameShape(QFrame::NoFrame);
    setItemDelegate(new SkinRowDelegate(this));
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::Text, kTextColor);
    pal.setColor(QPalette::Highlight, kSelectedBackground);
    pal.setColor(QPalette::HighlightedText, kSelectedText);
    setPalette(pal);
    verticalScrollBar()->setStyleSheet(QLatin1String(kScrollBarStyle));
    horizontalScrollBar()->setStyleSheet(QLatin1String(kScrollBarStyle));
}

void CSkinListCtrl::setColumns(const QStringList &titles, const QList<int> &widths)
{
    setColumnCount(int(titles.size()));
    setHeaderLabels(titles);
    for (int i = 0; i < widths.size() && i < titles.size(); ++i)
        setColumnWidth(i, widths[i]);
}

int CSkinListCtrl::appendRow(const QStringList &texts)
{
    auto *item = new QTreeWidgetItem(this, texts);
    for (int column = 0; column < texts.size(); ++column)
        item->setTextAlignment(column, Qt::AlignCenter);
    return indexOfTopLevelItem(item);
}
