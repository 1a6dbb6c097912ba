// Export of partition recordings made by the camera simulator: finished ones copied as
// they are but for the maker blocks, unfinished ones repaired so a real demuxer plays them
// to their end; files found through the file system never exported; the tool.
#include "gstplay.h"
#include "krfs.h"
#include "krfsimage.h"
#include "recordingcatalogue.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <map>

namespace {

QString binary(const char *name)
{
    return QDir(qEnvironmentVariable("MERIDO_BIN_DIR")).filePath(QString::fromLatin1(name));
}

// Runs a tool; returns its standard output, or a failure with its standard error.
QByteArray run(const char *program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.start(binary(program), args);
    if (!p.waitForFinished(300000))
        qWarning("%s did not finish", program);
    if (exitCode)
        *exitCode = p.exitCode();
    else if (p.exitCode() != 0)
        qWarning("%s failed: %s", program, p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

uint32_t u32At(const QByteArray &b, qsizetype at)
{
    return at >= 0 && at + 4 <= b.size() ? qFromLittleEndian<uint32_t>(b.constData() + at) : 0xFFFFFFFFu;
}

class NoView : public RecordingListView
{
public:
    void clear() override {}
    void setRedraw(bool) override {}
    void appendRow(const QString &, const QString &, const QString &, const QString &) override {}
};

// A catalogue over a partition image with the camera's folders, its view of all rows filled.
struct LoadedImage {
    RecordingCatalogue catalogue;
    explicit LoadedImage(const QString &image)
    {
        for (const char *folder : {"NOR", "EVT", "MOT", "USR"})
            catalogue.addFolderName(QString::fromLatin1(folder));
        DriveEntry drive;
        drive.kind = DriveKrfs;
        drive.physicalPath = QFile::encodeName(image).toStdString();
        catalogue.drives = {drive};
        NoView view;
        if (catalogue.selectSource(0))
            catalogue.fillListAll(view);
    }
    int rowOf(const QString &name) const
    {
        for (size_t i = 0; i < catalogue.shownRows.size(); ++i)
            if (catalogue.shownRows[i]->name == name)
                return int(i);
        return -1;
    }
};

// A file of the image as the partition library reads it.
QByteArray partitionFile(const QString &image, const QByteArray &folder, const QByteArray &name)
{
    std::vector<unsigned char> device(QZ_KRFS_DEVICE_BLOCK_SIZE, 0);
    if (QZ_KrFS_Device_Open(QFile::encodeName(image).constData(), QZ_KRFS_OPEN_MODE, device.data()) != 0)
        return {};
    QByteArray data;
    int position = 1;
    std::vector<unsigned char> list(QZ_KRFS_LIST_BUFFER_SIZE, 0);
    while (QZ_KrFS_Get_FileList(device.data(), folder.constData(), &position, list.data(), 0) > 0) {
        for (int i = 0; i < QZ_KRFS_LIST_CAPACITY; ++i) {
            const unsigned char *r = list.data() + 4 + i * QZ_KRFS_LIST_RECORD_SIZE;
            if (name != reinterpret_cast<const char *>(r))
                continue;
            const int h = QZ_KrFS_File_Open(device.data(), ("/" + folder + "/" + name).constData(), "r", 0, 0,
                                            qFromLittleEndian<uint32_t>(r + 98));
            std::vector<char> block(QZ_KRFS_READ_BLOCK);
            for (int n; h > 0 && (n = QZ_KrFS_File_Read(device.data(), block.data(), QZ_KRFS_READ_BLOCK, h)) > 0;)
                data.append(block.data(), n);
            QZ_KrFS_File_Close(device.data(), h);
        }
        std::fill(list.begin(), list.end(), 0);
    }
    QZ_KrFS_Device_Close(device.data());
    return data;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The maker blocks of a whole file overwritten: "LBMS" spans with 'M', "LBDJ" with 'D'.
QByteArray blanked(QByteArray data, std::vector<qsizetype> *spanStarts = nullptr)
{
    for (qsizetype i = 0; i + 4 <= data.size();) {
        const bool ms = data.mid(i, 4) == "LBMS", dj = data.mid(i, 4) == "LBDJ";
        if (!ms && !dj) {
            ++i;
            continue;
        }
        const qsizetype span = uint8_t(data.at(i + 4)) + 256 * uint8_t(data.at(i + 5)) + 8;
        if (spanStarts)
            spanStarts->push_back(i);
        const qsizetype n = std::min(span, data.size() - i);
        data.replace(i, n, QByteArray(n, ms ? 'M' : 'D'));
        i += n;
    }
    return data;
}

// What walking the media list chunk by chunk finds.
struct Walk {
    struct Chunk {
        QByteArray id;
        uint32_t offset, size; // offset from the "movi" code
        bool idr;
    };
    std::vector<Chunk> chunks;
    std::map<QByteArray, uint32_t> count, largest;
    uint32_t audioHalfSum = 0;
};

Walk walkMovi(const QByteArray &file, qsizetype movi, qsizetype end)
{
    Walk w;
    for (qsizetype at = movi + 4; at + 8 <= end;) {
        const QByteArray id = file.mid(at, 4);
        const uint32_t size = u32At(file, at + 4);
        if (at + 8 + qsizetype(size) > end)
            break; // a chunk cut off by the power loss
        const QByteArray head = file.mid(at + 8, 48);
        w.chunks.push_back({id, uint32_t(at - movi), size, head.contains(QByteArray("\x00\x00\x01\x65", 4))});
        ++w.count[id];
        w.largest[id] = std::max(w.largest[id], size);
        if (id == "02wb")
            w.audioHalfSum += size / 2;
        at += 8 + size + (size & 1);
    }
    return w;
}

// Position of the stream type code of the n-th stream header of that type.
qsizetype streamType(const QByteArray &file, const char *type, int nth = 0)
{
    qsizetype at = -1;
    for (int i = 0; i <= nth; ++i)
        at = file.indexOf(QByteArray("strh\x38\x00\x00\x00", 8) + type, at + 1);
    return at < 0 ? -1 : at + 8;
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString image;
    QString smallAvi;   // one second, finished
    QString smallImage; // NOR: an unfinished recording that ends with a whole chunk
    // NOR: a finished and an unfinished recording; EVT: an unfinished one; all past 5 MiB.
    QString finishedName, unfinishedName, eventName;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        image = dir.filePath(QStringLiteral("card.img"));
        // Small pictures at a high rate: past the 5 MiB read boundary in a few seconds.
        const QByteArray out = run("camsim", {"krfs", image, "--seed", "5", "--normal", "2", "--event", "1",
                                              "--seconds", "4", "--front", "480", "--front-kbps", "14000", "--grain", "12",
                                              "--unfinished", "1", "--cut", "1000"});
        const QList<QByteArray> lines = out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        finishedName = QString::fromUtf8(lines[0].split('\t')[0].split('/')[1]);
        unfinishedName = QString::fromUtf8(lines[1].split('\t')[0].split('/')[1]);
        eventName = QString::fromUtf8(lines[2].split('\t')[0].split('/')[1]);
        QVERIFY(lines[0].split('\t')[2].toLongLong() > 5 << 20);
        QVERIFY(lines[1].split('\t')[2].toLongLong() > 5 << 20);
        smallAvi = dir.filePath(QStringLiteral("small.avi"));
        run("camsim", {"avi", smallAvi, "--seconds", "1", "--front", "480", "--maker-at", "0"});
        QVERIFY(QFileInfo(smallAvi).size() > 0);
        // Unfinished but whole: the power went between two chunks.
        const QString uncut = dir.filePath(QStringLiteral("uncut.avi"));
        run("camsim", {"avi", uncut, "--seconds", "2", "--front", "480", "--ending", "unfinished", "--seed", "9"});
        smallImage = dir.filePath(QStringLiteral("small.img"));
        krfs::ImageOptions o;
        o.fatBytes = 0;
        o.krfsBytes = 8 << 20;
        std::string error;
        QVERIFY(krfs::makeImage(smallImage.toStdString(), o, nullptr, &error));
        const QByteArray bytes = readFile(uncut);
        QVERIFY(krfs::putBytes(smallImage.toStdString(), "NOR", "20231015_120000_2CH_N_F.avi",
                               std::span(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())),
                               {1697338800, false}, &error) > 0);
    }

    // Copied byte for byte but for the maker spans, one of which straddles the first 5 MiB
    // read; nothing appended.
    void finishedRecordingCopiedAsIs()
    {
        LoadedImage loaded(image);
        const int row = loaded.rowOf(finishedName);
        QVERIFY(row >= 0);
        QTemporaryDir out;
        const ExportResult r = loaded.catalogue.exportRecording(row, out.path());
        QCOMPARE(r.status, ExportResult::Exported);
        QVERIFY(r.copy.finalized);
        QCOMPARE(r.outputPath, out.filePath(finishedName));

        const QByteArray source = partitionFile(image, "NOR", finishedName.toUtf8());
        std::vector<qsizetype> spans;
        const QByteArray expected = blanked(source, &spans);
        const QByteArray exported = readFile(r.outputPath);
        QCOMPARE(exported.size(), source.size());
        QVERIFY(exported == expected);
        const qsizetype boundary = 5 << 20;
        QVERIFY(std::any_of(spans.begin(), spans.end(), [&](qsizetype s) {
            return s < boundary && s + uint8_t(source[s + 4]) + 256 * uint8_t(source[s + 5]) + 8 > boundary;
        }));
        QVERIFY(source.contains("LBMS"));
        QVERIFY(!exported.contains("LBMS") && !exported.contains("LBDJ"));

        const testsupport::AviPlayResult played = testsupport::playAviToEnd(r.outputPath);
        QVERIFY2(played.reachedEnd, qPrintable(played.error));
        const qsizetype movi = source.indexOf("movi");
        const Walk walk = walkMovi(source, movi, movi + u32At(source, movi - 4));
        QCOMPARE(uint32_t(played.frontFrames), walk.count.at("00dc"));
        QCOMPARE(uint32_t(played.rearFrames), walk.count.at("01dc"));
    }

    void unfinishedRecordingRepaired_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<bool>("cut"); // the power went inside the last chunk
        QTest::addColumn<int>("seconds");
        QTest::newRow("normal, past 5 MiB, cut") << "normal" << true << 4;
        QTest::newRow("event, cut") << "event" << true << 4;
        QTest::newRow("ends with a whole chunk") << "uncut" << false << 2;
    }
    // The index and headers hold what the arithmetic gives, and the file plays to its end.
    void unfinishedRecordingRepaired()
    {
        QFETCH(QString, which);
        QFETCH(bool, cut);
        QFETCH(int, seconds);
        const QString img = which == "uncut" ? smallImage : image;
        const QByteArray folder = which == "event" ? "EVT" : "NOR";
        const QString name = which == "normal" ? unfinishedName : which == "event" ? eventName
                                                                                  : "20231015_120000_2CH_N_F.avi";
        LoadedImage loaded(img);
        const int row = loaded.rowOf(name);
        QVERIFY(row >= 0);
        QTemporaryDir out;
        const ExportResult r = loaded.catalogue.exportRecording(row, out.path());
        QCOMPARE(r.status, ExportResult::Exported);
        QVERIFY(!r.copy.finalized);
        const QByteArray source = partitionFile(img, folder, name.toUtf8());
        QCOMPARE(u32At(source, 4), 0u);
        QVERIFY(!source.contains("idx1"));
        const QByteArray file = readFile(r.outputPath);

        // The copy up to the last whole chunk, then the index chunk.
        const qsizetype movi = source.indexOf("movi");
        const Walk walk = walkMovi(source, movi, source.size());
        const Walk::Chunk &last = walk.chunks.back();
        const qsizetype idx1 = movi + last.offset + 8 + last.size + (last.size & 1);
        QCOMPARE(idx1 < source.size(), cut);
        QCOMPARE(r.copy.droppedTail, uint64_t(source.size() - idx1));
        QCOMPARE(file.left(idx1).mid(0x1000), blanked(source).left(idx1).mid(0x1000));
        QCOMPARE(file.mid(idx1, 4), QByteArray("idx1"));
        QCOMPARE(u32At(file, 4), uint32_t(file.size() - 8));
        const uint32_t entries = u32At(file, idx1 + 4) / 16;
        QCOMPARE(file.size(), idx1 + 8 + qsizetype(entries) * 16);
        QCOMPARE(entries, uint32_t(walk.chunks.size()));
        for (uint32_t i = 0; i < entries; ++i) {
            const qsizetype e = idx1 + 8 + 16 * qsizetype(i);
            const Walk::Chunk &c = walk.chunks[i];
            QCOMPARE(file.mid(e, 4), c.id);
            const bool video = c.id.endsWith("dc");
            QCOMPARE(u32At(file, e + 4), video && !c.idr ? 0u : 0x10u);
            QCOMPARE(u32At(file, e + 8), c.offset);
            QCOMPARE(u32At(file, e + 12), c.size);
        }
        const auto count = [&](const char *id) { return walk.count.count(id) ? walk.count.at(id) : 0u; };
        const auto largest = [&](const char *id) { return walk.largest.count(id) ? walk.largest.at(id) : 0u; };
        const uint32_t c0 = count("00dc"), c1 = count("01dc"), ct = count("03tx");
        QCOMPARE(u32At(file, 48), c0 + c1);
        QCOMPARE(u32At(file, movi - 4), uint32_t(idx1 - movi));
        const qsizetype v0 = streamType(file, "vids"), v1 = streamType(file, "vids", 1), aud = streamType(file, "auds"),
                        txt = streamType(file, "txts");
        QCOMPARE(u32At(file, v0 + 32), c0);
        QCOMPARE(u32At(file, v0 + 36), largest("00dc"));
        QCOMPARE(u32At(file, v1 + 32), c1);
        QCOMPARE(u32At(file, v1 + 36), largest("01dc"));
        QCOMPARE(u32At(file, aud + 32), walk.audioHalfSum);
        QCOMPARE(u32At(file, aud + 36), largest("02wb"));
        QCOMPARE(u32At(file, txt + 32), ct);
        QCOMPARE(u32At(file, txt + 36), largest("03tx"));

        // Rates: the camera's, corrected by the counts (unsigned, truncating divisions).
        const uint32_t r0 = u32At(source, v0 + 24), r1 = u32At(source, v1 + 24), rt = u32At(source, txt + 24);
        const uint32_t k = c0 + c1, t = k / ((r0 + r1) / 1000);
        uint32_t e0 = r0 / 1000 * t, e1 = r1 / 1000 * t;
        if (e0 + e1 < k) {
            const uint32_t d = (k - e0 - e1) / 2;
            e0 += d;
            e1 += d;
        }
        const uint32_t et = e0 * rt / r0;
        QCOMPARE(u32At(file, txt + 24), uint32_t(int64_t(rt) + (int64_t(ct) - et) * (1000000 / rt)));
        QCOMPARE(u32At(file, v0 + 24), uint32_t(int64_t(r0) + (int64_t(c0) - e0) * (1000000 / r0)));
        QCOMPARE(u32At(file, v1 + 24), uint32_t(int64_t(r1) + (int64_t(c1) - e1) * (1000000 / r1)));

        const testsupport::AviPlayResult played = testsupport::playAviToEnd(r.outputPath);
        QVERIFY2(played.reachedEnd, qPrintable(played.error));
        QCOMPARE(uint32_t(played.frontFrames), c0);
        QCOMPARE(uint32_t(played.rearFrames), c1);
        // The corrected headers give the recording's length (the sound lasts 64 ms a frame).
        QVERIFY2(std::abs(played.duration - seconds * qint64(GST_SECOND)) < GST_SECOND / 5,
                 qPrintable(QString::number(played.duration)));
        // AAC frames of 1024 samples; the decoder may hold back the first.
        QVERIFY2(uint32_t(played.audioBuffers) + 1 >= count("02wb") && count("02wb") > 0,
                 qPrintable(QString("%1 of %2").arg(played.audioBuffers).arg(count("02wb"))));
    }

    // A card read through the file system has no partition keys: nothing is written.
    void fatCardExportsNothing()
    {
        QTemporaryDir card, save;
        QDir(card.path()).mkpath(QStringLiteral("NOR"));
        QVERIFY(QFile::copy(smallAvi, card.filePath(QStringLiteral("NOR/20231015_142530_2CH_N_F.avi"))));
        RecordingCatalogue catalogue;
        catalogue.addFolderName(QStringLiteral("NOR"));
        catalogue.addExtension(QStringLiteral("avi"));
        catalogue.repairRecording = nullptr;
        DriveEntry drive;
        drive.kind = DriveRemovable;
        drive.mountPoint = card.path();
        catalogue.drives = {drive};
        QVERIFY(catalogue.selectSource(0));
        NoView view;
        QCOMPARE(catalogue.fillListAll(view), 1);
        QCOMPARE(catalogue.exportRecording(0, save.path()).status, ExportResult::NotOnPartition);
        QCOMPARE(catalogue.exportRecording(1, save.path()).status, ExportResult::NoEntry);
        QVERIFY(QDir(save.path()).isEmpty());
    }

    void outputNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("saveFolder");
        QTest::addColumn<QString>("written");
        QTest::newRow("extension replaced") << QByteArray("20231015_142530_2CH_N_F.dat") << "out"
                                            << "out/20231015_142530_2CH_N_F.avi";
        QTest::newRow("no dot") << QByteArray("20231015_142530_2CH_N_F") << "out" << "out/20231015_142530_2CH_N_F.avi";
        QTest::newRow("dot in the folder") << QByteArray("20231015_142530_2CH_N_F") << "car.videos/v1.2"
                                           << "car.videos/v1.2/20231015_142530_2CH_N_F.avi";
    }
    void outputNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, saveFolder);
        QFETCH(QString, written);
        QTemporaryDir work;
        const QString img = work.filePath(QStringLiteral("names.img"));
        krfs::ImageOptions o;
        o.fatBytes = 0;
        o.krfsBytes = 8 << 20;
        std::string error;
        QVERIFY(krfs::makeImage(img.toStdString(), o, nullptr, &error));
        const QByteArray avi = readFile(smallAvi);
        QVERIFY(krfs::putBytes(img.toStdString(), "NOR", name.toStdString(),
                               std::span(reinterpret_cast<const uint8_t *>(avi.constData()), size_t(avi.size())),
                               {1697347530, true}, &error) > 0);
        LoadedImage loaded(img);
        QDir(work.path()).mkpath(saveFolder);
        const ExportResult r = loaded.catalogue.exportRecording(0, work.filePath(saveFolder));
        QCOMPARE(r.status, ExportResult::Exported);
        QCOMPARE(r.outputPath, work.filePath(written));
        QCOMPARE(QFileInfo(r.outputPath).size(), avi.size());
        QCOMPARE(QDir(work.filePath(saveFolder)).entryList(QDir::Files).size(), 1);
    }

    // The tool: rows as list numbers them, one line per file, the outputs in OUTDIR.
    void tool()
    {
        QTemporaryDir out;
        int exitCode = -1;
        const QByteArray listed = run("merido-tool", {"list", image});
        QCOMPARE(listed.count('\n'), 3);
        QByteArray lines = run("merido-tool", {"export", image, out.path(), "2"}, &exitCode);
        QCOMPARE(exitCode, 0);
        QCOMPARE(lines.count('\n'), 1);
        QVERIFY2(lines.startsWith("002\trepaired\t"), lines.constData());
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 1);

        lines = run("merido-tool", {"export", image, out.path(), "--type", "event"}, &exitCode);
        QCOMPARE(exitCode, 0);
        QVERIFY2(lines.startsWith("001\trepaired\t" + out.filePath(eventName).toUtf8() + "\t"), lines.constData());

        lines = run("merido-tool", {"export", image, out.path(), "9"}, &exitCode);
        QCOMPARE(exitCode, 1);
        QVERIFY2(lines.startsWith("009\tno-such-row"), lines.constData());
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
