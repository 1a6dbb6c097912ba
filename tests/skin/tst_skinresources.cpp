// The built resource library and the own set against the bitmap inventory, and the sheet.
#include "skinids.h"
#include "skinresources.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QtEndian>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <set>

namespace {

QString binDir()
{
    return qEnvironmentVariable("MERIDO_BIN_DIR");
}

QString rccPath()
{
    return QDir(binDir()).filePath(QStringLiteral("ResourceDll.rcc"));
}

bool isKeyed(int id)
{
    return std::ranges::find(skin::kMagentaKeyedSkinIds, id) != std::end(skin::kMagentaKeyedSkinIds);
}

int countPixels(const QImage &image, QRgb colour)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        n += int(std::count(line, line + rgb.width(), colour));
    }
    return n;
}

constexpr QRgb kMagenta = qRgb(255, 0, 255);

} // namespace

class TestSkinResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!binDir().isEmpty(), "MERIDO_BIN_DIR is not set");
        QVERIFY2(loadResourceLibrary(rccPath()), qPrintable(rccPath()));
    }

    void tablesAreWellFormed_data()
    {
        QTest::addColumn<int>("table");
        QTest::newRow("resource library") << 0;
        QTest::newRow("own") << 1;
    }

    // A repeated id would make one role silently take another's image.
    void tablesAreWellFormed()
    {
        QFETCH(int, table);
        const std::span<const skin::BitmapInfo> entries =
            table == 0 ? std::span<const skin::BitmapInfo>(skin::kSkinBitmaps) : skin::kOwnBitmaps;
        std::set<int> seen;
        for (const skin::BitmapInfo &b : entries) {
            QVERIFY2(seen.insert(b.id).second, qPrintable(QStringLiteral("id %1 listed twice").arg(b.id)));
            QVERIFY2(b.width > 0 && b.height > 0, qPrintable(QString::number(b.id)));
            QVERIFY2(b.role && *b.role, qPrintable(QString::number(b.id)));
        }
    }

    void everyIdAtItsSize_data()
    {
        QTest::addColumn<bool>("own");
        QTest::addColumn<int>("id");
        QTest::addColumn<QSize>("size");
        for (const skin::BitmapInfo &b : skin::kSkinBitmaps)
            QTest::addRow("skin %d %s", b.id, b.role) << false << b.id << QSize(b.width, b.height);
        for (const skin::BitmapInfo &b : skin::kOwnBitmaps)
            QTest::addRow("own %d %s", b.id, b.role) << true << b.id << QSize(b.width, b.height);
    }

    void everyIdAtItsSize()
    {
        QFETCH(bool, own);
        QFETCH(int, id);
        QFETCH(QSize, size);
        const QPixmap pixmap = own ? ownBitmap(id) : skinBitmap(id);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.size(), size);
    }

    void unknownIdsAreNull()
    {
        QVERIFY(skinBitmap(0).isNull());
        QVERIFY(skinBitmap(-1).isNull());
        QVERIFY(skinBitmap(225).isNull()); // between named ids
        QVERIFY(ownBitmap(157).isNull());  // a resource library id, not an own one
    }

    // Magenta is the transparent colour: present around the keyed window backgrounds only.
    void magentaOnlyWhereKeyed_data()
    {
        QTest::addColumn<int>("id");
        for (const skin::BitmapInfo &b : skin::kSkinBitmaps)
            QTest::addRow("%d %s", b.id, b.role) << b.id;
    }

    void magentaOnlyWhereKeyed()
    {
        QFETCH(int, id);
        const QImage image = skinBitmap(id).toImage();
        const int keyed = countPixels(image, kMagenta);
        if (!isKeyed(id)) {
            QCOMPARE(keyed, 0);
            return;
        }
        QCOMPARE(image.pixel(0, 0), kMagenta);
        QCOMPARE(image.pixel(image.width() - 1, image.height() - 1), kMagenta);
        QVERIFY(image.pixel(image.width() / 2, image.height() / 2) != kMagenta);
        // Only the rounded corners are cut away.
        QVERIFY(keyed < image.width() * image.height() / 100);
    }

    // The images a control switches between must differ, or the control shows no feedback.
    void stateImagesDiffer_data()
    {
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("title Close") << QList<int>{218, 219};
        QTest::newRow("Full Screen") << QList<int>{205, 206};
        QTest::newRow("Fit Screen") << QList<int>{203, 204};
        QTest::newRow("Minimization") << QList<int>{207, 224};
        QTest::newRow("Default Screen") << QList<int>{252, 253};
        QTest::newRow("File list") << QList<int>{201, 202};
        QTest::newRow("Map") << QList<int>{245, 246};
        QTest::newRow("Previous file") << QList<int>{216, 217};
        QTest::newRow("Rewind") << QList<int>{227, 228};
        QTest::newRow("Play") << QList<int>{214, 215};
        QTest::newRow("Play while playing") << QList<int>{212, 213};
        QTest::newRow("Play and pause") << QList<int>{214, 212};
        QTest::newRow("Stop") << QList<int>{222, 223};
        QTest::newRow("Forward") << QList<int>{229, 230};
        QTest::newRow("Next File") << QList<int>{208, 209};
        QTest::newRow("Print") << QList<int>{237, 238};
        QTest::newRow("Capture") << QList<int>{231, 232};
        QTest::newRow("video flip") << QList<int>{268, 269};
        QTest::newRow("Screen switching") << QList<int>{235, 236};
        QTest::newRow("Sensor Informantion") << QList<int>{233, 234};
        QTest::newRow("Screen Settings") << QList<int>{247, 248};
        QTest::newRow("Storage info.") << QList<int>{259, 260};
        QTest::newRow("Device settings") << QList<int>{220, 221};
        QTest::newRow("Fixed window") << QList<int>{244, 243};
        QTest::newRow("Open File") << QList<int>{210, 211};
        QTest::newRow("Sort Ascending") << QList<int>{257, 258};
        QTest::newRow("Sort Descending") << QList<int>{255, 256};
        QTest::newRow("Reset") << QList<int>{250, 251};
        QTest::newRow("settings option") << QList<int>{166, 167, 165};
        QTest::newRow("settings Save") << QList<int>{163, 161, 162};
        QTest::newRow("settings Close") << QList<int>{158, 160};
        QTest::newRow("print Close") << QList<int>{151, 152, 150};
        QTest::newRow("print Print Start") << QList<int>{154, 155, 153};
        QTest::newRow("seek thumb") << QList<int>{104, 103};
        QTest::newRow("seek track") << QList<int>{105, 106};
        QTest::newRow("slider thumb") << QList<int>{116, 115};
        QTest::newRow("slider track") << QList<int>{117, 118};
    }

    void stateImagesDiffer()
    {
        QFETCH(QList<int>, ids);
        for (int i = 0; i < ids.size(); ++i) {
            for (int j = i + 1; j < ids.size(); ++j) {
                QVERIFY2(skinBitmap(ids[i]).toImage() != skinBitmap(ids[j]).toImage(),
                         qPrintable(QStringLiteral("%1 and %2 look the same").arg(ids[i]).arg(ids[j])));
            }
        }
    }

    // Controls are drawn over the window backgrounds at fixed places; the ground under each
    // must be plain and of the colour at the control bitmap's corner, or labels show
    // through misplaced and the control sits in a visible box.
    void controlsSitOnPlainGround_data()
    {
        QTest::addColumn<int>("background");
        QTest::addColumn<int>("control");
        QTest::addColumn<QRect>("place");
        // The camera settings window's option buttons (20 x 20), by button number.
        constexpr int options[][2] = {
            {40, 209}, {131, 209}, {246, 209}, {246, 373}, {131, 373}, {40, 373}, {596, 373}, {482, 373},
            {390, 373}, {144, 451}, {39, 451}, {375, 451}, {269, 451}, {604, 451}, {500, 451}, {144, 286},
            {39, 286}, {375, 286}, {269, 286}, {604, 286}, {500, 286}, {375, 528}, {269, 528}, {145, 528},
            {40, 528}, {66, 608}, {279, 608}, {492, 608}, {66, 642}, {279, 642}, {389, 209}, {482, 209},
            {596, 209}, {65, 91}, {397, 91}, {397, 121}, {65, 121}, {375, 751}, {269, 751}};
        for (int n = 0; n < int(std::size(options)); ++n)
            QTest::addRow("settings option %d", n) << 157 << 166 << QRect(options[n][0], options[n][1], 20, 20);
        QTest::newRow("settings Save") << 157 << 163 << QRect(282, 812, 158, 36);
        QTest::newRow("settings Close") << 157 << 158 << QRect(653, 5, 65, 28);
        QTest::newRow("print Close") << 149 << 151 << QRect(874, 20, 41, 41);
        QTest::newRow("print Print Start") << 149 << 154 << QRect(820, 606, 91, 87);
        QTest::newRow("picture Close") << 249 << 218 << QRect(255, 0, 20, 20);
        QTest::newRow("picture Reset") << 249 << 250 << QRect(242, 80, 32, 20);
        QTest::newRow("picture slider 1281") << 249 << 117 << QRect(28, 40, 85, 13);
        QTest::newRow("picture slider 1280") << 249 << 117 << QRect(152, 40, 85, 13);
        QTest::newRow("picture slider 1283") << 249 << 117 << QRect(28, 75, 85, 13);
        QTest::newRow("picture slider 1282") << 249 << 117 << QRect(152, 75, 85, 13);
        QTest::newRow("graph Close") << 242 << 218 << QRect(520, 10, 20, 20);
    }

    void controlsSitOnPlainGround()
    {
        QFETCH(int, background);
        QFETCH(int, control);
        QFETCH(QRect, place);
        const QImage ground = skinBitmap(background).toImage();
        const QRgb corner = skinBitmap(control).toImage().pixel(0, 0);
        QVERIFY(ground.rect().contains(place));
        for (int y = place.top(); y <= place.bottom(); ++y) {
            for (int x = place.left(); x <= place.right(); ++x) {
                if (ground.pixel(x, y) != corner)
                    QFAIL(qPrintable(QStringLiteral("(%1, %2) is #%3, the control's edge #%4")
                                         .arg(x).arg(y).arg(ground.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'))
                                         .arg(corner & 0xffffff, 6, 16, QLatin1Char('0'))));
            }
        }
    }

    // A damaged resource library must be refused: Qt itself would follow its offsets.
    void damagedLibraryIsRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QFile real(rccPath());
        QVERIFY(real.open(QIODevice::ReadOnly));
        const QByteArray bytes = real.readAll();
        QVERIFY(bytes.size() > 100);
        const qint32 tree = qFromBigEndian<qint32>(bytes.constData() + 8);

        auto patched = [&](qsizetype at, quint32 value) {
            QByteArray copy = bytes;
            qToBigEndian(value, copy.data() + at);
            return copy;
        };
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a resource file") << QByteArray("PNG and other garbage, certainly not qres");
        QTest::newRow("magic only") << QByteArray("qres");
        QTest::newRow("header only") << bytes.left(24);
        QTest::newRow("cut in half") << bytes.left(bytes.size() / 2);
        QTest::newRow("last byte missing") << bytes.chopped(1);
        QTest::newRow("unknown version") << patched(4, 9);
        QTest::newRow("tree beyond the end") << patched(8, quint32(bytes.size()) + 10);
        QTest::newRow("negative names offset") << patched(16, 0x80000000u);
        QTest::newRow("root lists too many children") << patched(tree + 6, 0x7fffffffu);
        QTest::newRow("root's children beyond the tree") << patched(tree + 10, 0x00ffffffu);
        QTest::newRow("root's child is itself") << patched(tree + 10, 0);
    }

    void damagedLibraryIsRefused()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("ResourceDll.rcc"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QVERIFY(!loadResourceLibrary(path));
    }

    void missingLibraryIsRefused()
    {
        QVERIFY(!loadResourceLibrary(QStringLiteral("/nonexistent/ResourceDll.rcc")));
        QVERIFY(!loadResourceLibrary(QString()));
    }

    void sheetShowsEveryBitmap()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString out = dir.filePath(QStringLiteral("sheet.png"));
        QString error;
        QVERIFY2(renderSkinSheet(out, &error), qPrintable(error));
        const QImage sheet(out);
        QVERIFY(!sheet.isNull());
        // The largest bitmaps are shown reduced, so the sheet stays a reasonable size.
        QVERIFY(sheet.width() >= 1000 && sheet.height() >= 1000);
        QVERIFY(sheet.height() < 6000);

        QVERIFY(!renderSkinSheet(dir.filePath(QStringLiteral("no/such/folder/sheet.png")), &error));
        QVERIFY(!error.isEmpty());
    }

    void toolWritesSheet_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("besideLibrary");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("written");
        const QStringList sheet{QStringLiteral("sheet.png")};
        QTest::newRow("output file") << sheet << true << 0 << true;
        QTest::newRow("no argument") << QStringList{} << true << 2 << false;
        QTest::newRow("two arguments") << QStringList{QStringLiteral("a.png"), QStringLiteral("b.png")} << true << 2 << false;
        QTest::newRow("unwritable") << QStringList{QStringLiteral("no/such/folder/sheet.png")} << true << 1 << false;
        QTest::newRow("no resource library beside the tool") << sheet << false << 1 << false;
    }

    void toolWritesSheet()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, besideLibrary);
        QFETCH(int, exitCode);
        QFETCH(bool, written);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString tool = QDir(binDir()).filePath(QStringLiteral("merido-tool"));
        if (!besideLibrary) {
            // A copy of the tool in a folder of its own finds no ResourceDll.rcc.
            const QString copy = dir.filePath(QStringLiteral("merido-tool"));
            QVERIFY(QFile::copy(tool, copy));
            tool = copy;
        }
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(tool, QStringList{QStringLiteral("skin-sheet")} + args);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        QCOMPARE(QImage(dir.filePath(QStringLiteral("sheet.png"))).isNull(), !written);
    }
};

QTEST_MAIN(TestSkinResources)
#include "tst_skinresources.moc"
