// renderSkinSheet: every skin bitmap on one contact sheet, for reviewing the skin.
#include "skinids.h"
#include "skinresources.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <functional>
#include <vector>

namespace {

using skin::BitmapInfo;

constexpr int kSheetWidth = 1800;  // px
constexpr int kMargin = 24;
constexpr int kGap = 10;           // between cells
constexpr int kPad = 8;            // inside a cell
constexpr int kTextHeight = 34;    // two caption lines under the image
constexpr int kMinCellWidth = 150;
constexpr QSize kLargest(560, 460); // bigger bitmaps are shown reduced
constexpr int kSmallSide = 40;      // smaller bitmaps are shown enlarged, whole factors only

struct Section {
    const char *title;
    const char *ns;
    std::span<const BitmapInfo> table;
    std::function<QPixmap(int)> load;
};

struct Cell {
    const BitmapInfo *info;
    const Section *section;
    QPixmap pixmap;
    QSize shown;  // size drawn on the sheet
    QString zoom; // "x2", "50%" or empty
    QRect rect;
};

void planCell(Cell &cell)
{
    const QSize size(cell.info->width, cell.info->height);
    const int side = qMax(size.width(), size.height());
    if (side < kSmallSide) {
        const int factor = qMin(4, kSmallSide / side);
        cell.shown = size * factor;
        if (factor > 1)
            cell.zoom = QStringLiteral("x%1").arg(factor);
    } else if (size.width() > kLargest.width() || size.height() > kLargest.height()) {
        cell.shown = size.scaled(kLargest, Qt::KeepAspectRatio);
        cell.zoom = QStringLiteral("%1%").arg(cell.shown.width() * 100 / size.width());
    } else {
        cell.shown = size;
    }
}

void drawCell(QPainter &p, const Cell &cell)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 31, 40));
    p.drawRoundedRect(cell.rect, 6, 6);

    const QRect image(cell.rect.left() + kPad, cell.rect.top() + kPad, cell.shown.width(), cell.shown.height());
    // A checker board shows through transparent pixels and marks the bitmap's extent.
    for (int y = image.top(); y <= image.bottom(); y += 6) {
        for (int x = image.left(); x <= image.right(); x += 6) {
            const bool dark = ((x - image.left()) / 6 + (y - image.top()) / 6) % 2;
            p.fillRect(QRect(x, y, 6, 6).intersected(image), dark ? QColor(60, 60, 70) : QColor(90, 90, 100));
        }
    }
    const bool missing = cell.pixmap.isNull();
    if (missing) {
        p.setPen(QPen(QColor(230, 60, 60), 2));
        p.drawLine(image.topLeft(), image.bottomRight());
        p.drawLine(image.topRight(), image.bottomLeft());
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform, cell.shown.width() < cell.pixmap.width());
        p.drawPixmap(image, cell.pixmap);
    }
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(image.adjusted(-1, -1, 0, 0));

    const QRect text(cell.rect.left() + kPad, image.bottom() + 5, cell.rect.width() - 2 * kPad, kTextHeight);
    QFont bold(QStringLiteral("Liberation Sans"));
    bold.setPixelSize(12);
    bold.setBold(true);
    QString first = QStringLiteral("%1  %2  %3x%4").arg(cell.info->id).arg(QLatin1String(cell.section->ns))
                        .arg(cell.info->width).arg(cell.info->height);
    if (!cell.zoom.isEmpty())
        first += QStringLiteral("  (%1)").arg(cell.zoom);
    if (missing)
        first += QStringLiteral("  MISSING");
    else if (cell.pixmap.size() != QSize(cell.info->width, cell.info->height))
        first += QStringLiteral("  is %1x%2").arg(cell.pixmap.width()).arg(cell.pixmap.height());
    p.setFont(bold);
    p.setPen(missing ? QColor(240, 90, 90) : QColor(225, 228, 236));
    p.drawText(QRect(text.left(), text.top(), text.width(), 16), Qt::AlignLeft | Qt::AlignVCenter, first);

    QFont normal = bold;
    normal.setBold(false);
    normal.setPixelSize(11);
    p.setFont(normal);
    p.setPen(QColor(150, 156, 176));
    const QString role = QFontMetrics(normal).elidedText(QLatin1String(cell.info->role), Qt::ElideRight, text.width());
    p.drawText(QRect(text.left(), text.top() + 16, text.width(), 16), Qt::AlignLeft | Qt::AlignVCenter, role);
}

} // namespace

bool renderSkinSheet(const QString &outPng, QString *error)
{
    const Section sections[] = {
        {"Resource library: ResourceDll.rcc, :/skin/<id>.png", "skin", skin::kSkinBitmaps, skinBitmap},
        {"Program resources: compiled in, :/own/<id>.png", "own", skin::kOwnBitmaps, ownBitmap},
    };

    // Lay the cells out in rows, section by section, then paint them.
    std::vector<Cell> cells;
    std::vector<std::pair<QString, int>> headings; // text, y
    int y = kMargin + 40;
    int missing = 0;
    for (const Section &section : sections) {
        headings.emplace_back(QStringLiteral("%1   (%2 bitmaps)").arg(QLatin1String(section.title)).arg(section.table.size()), y);
        y += 30;
        int x = kMargin;
        int rowHeight = 0;
        for (const BitmapInfo &info : section.table) {
            Cell cell{&info, &section, section.load(info.id), {}, {}, {}};
            missing += cell.pixmap.isNull();
            planCell(cell);
            const QSize size(qMax(kMinCellWidth, cell.shown.width() + 2 * kPad),
                             cell.shown.height() + 2 * kPad + kTextHeight);
            if (x + size.width() > kSheetWidth - kMargin && x > kMargin) {
                x = kMargin;
                y += rowHeight + kGap;
                rowHeight = 0;
            }
            cell.rect = QRect(QPoint(x, y), size);
            x += size.width() + kGap;
            rowHeight = qMax(rowHeight, size.height());
            cells.push_back(std::move(cell));
        }
        y += rowHeight + kMargin + 10;
    }

    QImage sheet(kSheetWidth, y, QImage::Format_RGB32);
    sheet.fill(QColor(16, 16, 16));
    {
        QPainter p(&sheet);
        p.setRenderHint(QPainter::Antialiasing);
        QFont title(QStringLiteral("Liberation Sans"));
        title.setPixelSize(22);
        title.setBold(true);
        p.setFont(title);
        p.setPen(QColor(235, 235, 240));
        const QString summary = missing ? QStringLiteral("MERIDO Viewer skin: %1 bitmaps missing").arg(missing)
                                        : QStringLiteral("MERIDO Viewer skin");
        p.drawText(QRect(kMargin, kMargin, kSheetWidth, 30), Qt::AlignLeft | Qt::AlignVCenter, summary);
        title.setPixelSize(15);
        p.setFont(title);
        p.setPen(QColor(80, 200, 220));
        for (const auto &[text, top] : headings)
            p.drawText(QRect(kMargin, top, kSheetWidth, 24), Qt::AlignLeft | Qt::AlignVCenter, text);
        for (const Cell &cell : cells)
            drawCell(p, cell);
    }
    if (!sheet.save(outPng, "PNG")) {
        if (error)
            *error = QStringLiteral("cannot write %1").arg(outPng);
        return false;
    }
    return true;
}
