// merido-tool gallery OUT.png: the skinned controls in their states on one sheet, drawn with
// the real skin bitmaps, for a person to look at.
#include "commands.h"

#include "bitmapslider.h"
#include "historycombo.h"
#include "skinlistctrl.h"
#include "skinresources.h"
#include "xfolderdialog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QResource>
#include <QSettings>
#include <QTemporaryDir>

namespace {

struct Tile {
    QString caption;
    QPixmap picture;
};

QPixmap sliderPicture(const QString &text, int min, int max, int pos, bool dragged, const std::array<int, 4> &ids)
{
    CBitmapSlider slider;
    slider.Create(text, QRect(0, 0, 1, 1), nullptr, 1);
    slider.SetBitmapChannel(skinBitmap(ids[0]), skinBitmap(ids[1]));
    slider.SetBitmapThumb(skinBitmap(ids[2]), skinBitmap(ids[3]));
    slider.DrawFocusRect(false);
    slider.SetRange(min, max);
    slider.SetPos(pos);
    QPalette pal = slider.palette();
    pal.setColor(QPalette::Window, QColor(16, 16, 16));
    slider.setPalette(pal);
    if (dragged) {
        // Press on the thumb: the dragged image shows until the button comes up.
        const QPointF at(slider.thumbCentre(pos), 5);
        QMouseEvent press(QEvent::MouseButtonPress, at, slider.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(&slider, &press);
    }
    return slider.grab();
}

QPixmap listPicture()
{
    CSkinListCtrl list;
    list.resize(300, 150);
    list.setColumns({QStringLiteral("No"), QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("Type")},
                    {40, 100, 90, 60});
    const char *rows[][4] = {{"001", "2023-10-15", "14:25:30", "NOR"}, {"002", "2023-10-15", "14:26:30", "NOR"},
                             {"003", "2023-10-15", "14:27:02", "EVT"}, {"004", "2023-10-15", "14:31:44", "MOT"},
                             {"005", "2023-10-16", "08:02:10", "USR"}};
    for (const auto &row : rows)
        list.appendRow({QLatin1String(row[0]), QLatin1String(row[1]), QLatin1String(row[2]), QLatin1String(row[3])});
    list.topLevelItem(2)->setSelected(true);
    list.show();
    return list.grab();
}

QPixmap folderPickerPicture(const QTemporaryDir &dir)
{
    QSettings settings(dir.filePath(QStringLiteral("gallery.ini")), QSettings::IniFormat);
    QStringList folders;
    for (const char *name : {"card/NOR", "card/EVT", "backup/2023-10"}) {
        QDir().mkpath(dir.filePath(QLatin1String(name)));
        folders << dir.filePath(QLatin1String(name));
    }
    for (int i = 0; i < folders.size(); ++i)
        settings.setValue(CHistoryCombo::indexedName(QStringLiteral("FolderHistory/Folder"), i), folders[i]);
    settings.sync();
    CXFolderDialog picker(dir.filePath(QStringLiteral("card")), nullptr, &settings);
    picker.resize(640, 400);
    picker.show();
    // The browser lists the folder from a worker thread: give it a moment.
    QDeadlineTimer listed(500);
    while (!listed.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return picker.grab();
}

} // namespace

int cli::cmdGallery(const QStringList &args)
{
    if (args.size() != 1)
        return usageError("gallery", QStringLiteral("expects OUT.png"));
    const QString rcc = QCoreApplication::applicationDirPath() + QStringLiteral("/ResourceDll.rcc");
    if (!QResource::registerResource(rcc))
        return usageError("gallery", QStringLiteral("cannot load %1").arg(rcc));
    QTemporaryDir dir;

    constexpr std::array seek{105, 106, 104, 103};
    constexpr std::array level{117, 118, 116, 115};
    const QList<Tile> tiles{
        {QStringLiteral("seek slider, empty range"), sliderPicture(QStringLiteral("SEEK"), 0, 0, 0, false, seek)},
        {QStringLiteral("seek slider at min"), sliderPicture(QStringLiteral("SEEK"), 0, 60000, 0, false, seek)},
        {QStringLiteral("seek slider at mid"), sliderPicture(QStringLiteral("SEEK"), 0, 60000, 30000, false, seek)},
        {QStringLiteral("seek slider at max"), sliderPicture(QStringLiteral("SEEK"), 0, 60000, 60000, false, seek)},
        {QStringLiteral("seek slider dragged"), sliderPicture(QStringLiteral("SEEK"), 0, 60000, 21000, true, seek)},
        {QStringLiteral("speed slider 1..10 at 6"), sliderPicture(QStringLiteral("SPEED"), 1, 10, 6, false, level)},
        {QStringLiteral("volume slider dragged"), sliderPicture(QStringLiteral("VOLUME"), 0, 100, 80, true, level)},
        {QStringLiteral("skinned list, row 003 selected"), listPicture()},
        {QStringLiteral("folder picker with a history"), folderPickerPicture(dir)},
    };

    constexpr int margin = 16, captionHeight = 18;
    int width = 0, height = margin;
    for (const Tile &t : tiles) {
        width = std::max(width, int(t.picture.deviceIndependentSize().width()));
        height += captionHeight + int(t.picture.deviceIndependentSize().height()) + margin;
    }
    QImage sheet(width + 2 * margin, height, QImage::Format_RGB32);
    sheet.fill(QColor(40, 40, 48));
    QPainter painter(&sheet);
    painter.setPen(QColor(220, 220, 220));
    int y = margin;
    for (const Tile &t : tiles) {
        painter.drawText(margin, y + 13, t.caption);
        y += captionHeight;
        painter.drawPixmap(margin, y, t.picture);
        y += int(t.picture.deviceIndependentSize().height()) + margin;
    }
    painter.end();
    if (!sheet.save(args.front()))
        return usageError("gallery", QStringLiteral("cannot write %1").arg(args.front()));
    return 0;
}
