// camsim recordings end to end: the repair rebuilds the camera's own index, the result plays
// in a real GStreamer pipeline, and the command-line tools read it.
#include "audioencoder.h"
#include "containerrepair.h"
#include "gstplay.h"
#include "mp4boxes.h"
#include "recordingwriter.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace camsim;
using namespace testsupport;

Q_DECLARE_METATYPE(camsim::Ending)

namespace {

RecordingOptions recording(int side, int rearHeight, double seconds, std::uint64_t seed, Ending ending)
{
    RecordingOptions o;
    o.side = side;
    o.channel = side == 1 ? 0 : 1;
    o.rearHeight = rearHeight;
    o.seconds = seconds;
    o.seed = seed;
    o.start = QDateTime(QDate(2023, 10, 15), QTime(14, 25, 30));
    o.ending = ending;
    return o;
}

QString binary(const char *name)
{
    return QDir(qEnvironmentVariable("MERIDO_BIN_DIR")).filePath(name);
}

// Runs a program of ours; returns its standard output, fails the test on a non-zero exit.
QString run(const char *program, const QStringList &args, int expectedExit = 0)
{
    QProcess p;
    p.start(binary(program), args);
    if (!p.waitForFinished(300000))
        return "timed out";
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    if (p.exitCode() != expectedExit)
        qWarning("%s exited %d: %s", program, p.exitCode(), p.readAllStandardError().constData());
    return out;
}

} // namespace

class TestRecordings : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void write(const QString &file, const RecordingOptions &o, RecordingInfo *info)
    {
        std::string error;
        QVERIFY2(writeRecording(file.toStdString(), o, info, error), error.c_str());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // A recording without index, repaired, gets byte for byte the index the camera writes
    // when it closes the recording, and plays to its end.
    void repairRebuildsCameraIndex_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("rearHeight");
        QTest::addColumn<Ending>("ending");
        QTest::newRow("front, power cut") << 1 << 480 << Ending::PowerCut;
        QTest::newRow("front, size without index") << 1 << 480 << Ending::SizeNoIndex;
        QTest::newRow("rear 720 x 480, power cut") << 2 << 480 << Ending::PowerCut;
        QTest::newRow("rear 1280 x 720, size without index") << 2 << 720 << Ending::SizeNoIndex;
    }
    void repairRebuildsCameraIndex()
    {
        QFETCH(int, side);
        QFETCH(int, rearHeight);
        QFETCH(Ending, ending);
        const std::uint64_t seed = 11;
        RecordingInfo finished, cut;
        write(path("finished.mp4"), recording(side, rearHeight, 3, seed, Ending::Finished), &finished);
        write(path("cut.mp4"), recording(side, rearHeight, 3, seed, ending), &cut);
        QCOMPARE(cut.tables, finished.tables);
        QVERIFY(indexOf(readAll(path("cut.mp4"))).empty());

        QCOMPARE(storage::repairRecordingOutcome(path("cut.mp4").toStdString(), side, finished.sizeClass),
                 storage::RepairOutcome::Repaired);
        const QByteArray repaired = readAll(path("cut.mp4"));
        const QByteArray camera = readAll(path("finished.mp4"));
        const auto rebuilt = indexOf(repaired);
        const auto original = indexOf(camera);
        QVERIFY(!rebuilt.empty());
        QVERIFY(std::equal(rebuilt.begin(), rebuilt.end(), original.begin(), original.end()));
        // The media data is untouched up to the end of the last record.
        const qsizetype mediaEnd = qsizetype(cut.fileSize);
        QCOMPARE(repaired.mid(44, mediaEnd - 44), camera.mid(44, mediaEnd - 44));

        const PlayResult play = playToEnd(path("cut.mp4"));
        QVERIFY2(play.reachedEnd, qPrintable(play.error));
        QCOMPARE(play.videoFrames, int(finished.tables.videoSizes.size()));
        QCOMPARE(play.audioBuffers, int(finished.tables.audioSizes.size()));
        const std::uint64_t ticks = storage::videoTicks(side, finished.tables.videoSizes.size());
        const auto expectedEnd = GstClockTime(ticks * GST_SECOND / storage::videoTimescale(side));
        // Within the movie timescale's 1 ms, through which the demuxer converts edit lists.
        QVERIFY2(qAbs(qint64(play.lastVideoEnd) - qint64(expectedEnd)) < 2 * qint64(GST_MSECOND),
                 qPrintable(QString("last frame ends at %1 ns, expected %2").arg(play.lastVideoEnd).arg(expectedEnd)));
        QVERIFY(play.duration >= qint64(expectedEnd) - 2 * qint64(GST_MSECOND));
    }

    // Frame times follow the index: front 1024 ticks then 512 at 14910 Hz, rear 512 at 15360.
    void frameTimes_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("frames");
        QTest::newRow("front, 2 s") << 1 << 2.0 << 58; // (1024 + 512 * 57) / 14910 < 2 s
        QTest::newRow("rear, 2 s") << 2 << 2.0 << 60;
    }
    void frameTimes()
    {
        QFETCH(int, side);
        QFETCH(double, seconds);
        QFETCH(int, frames);
        RecordingInfo info;
        write(path("times.mp4"), recording(side, 480, seconds, 3, Ending::Finished), &info);
        QCOMPARE(int(info.tables.videoSizes.size()), frames);
        const auto tracks = trackTables(indexOf(readAll(path("times.mp4"))));
        if (side == 1)
            QCOMPARE(tracks[0].stts, (std::vector<std::uint32_t>{1, 1024, std::uint32_t(frames - 1), 512}));
        else
            QCOMPARE(tracks[0].stts, (std::vector<std::uint32_t>{std::uint32_t(frames), 512}));
        QCOMPARE(tracks[0].stss.front(), 1u);
        QCOMPARE(tracks[0].stss.size(), std::size_t((frames + 29) / 30)); // an IDR every 30 frames
    }

    void audioFramesStartWith0x21()
    {
        std::vector<Bytes> frames;
        std::string error;
        QVERIFY2(encodeAudio(40, frames, error), error.c_str());
        QCOMPARE(int(frames.size()), 40);
        for (const Bytes &f : frames) {
            QVERIFY(!f.empty());
            QCOMPARE(int(f[0]), 0x21);
        }
        RecordingInfo info;
        write(path("audio.mp4"), recording(2, 480, 2, 5, Ending::Finished), &info);
        const QByteArray file = readAll(path("audio.mp4"));
        QVERIFY(info.tables.audioChunks.size() >= 30);
        for (std::uint32_t at : info.tables.audioChunks)
            QCOMPARE(int(std::uint8_t(file[at])), 0x21);
    }

    void sameSeedSameBytes()
    {
        write(path("a.mp4"), recording(2, 480, 1.5, 9, Ending::Finished), nullptr);
        write(path("b.mp4"), recording(2, 480, 1.5, 9, Ending::Finished), nullptr);
        write(path("c.mp4"), recording(2, 480, 1.5, 10, Ending::Finished), nullptr);
        QCOMPARE(readAll(path("a.mp4")), readAll(path("b.mp4")));
        QVERIFY(readAll(path("a.mp4")) != readAll(path("c.mp4")));
    }

    // merido-tool sensors reads the records through the index, stamped 0, 1000, ... ms.
    void sensorsCsv()
    {
        RecordingOptions o = recording(1, 480, 4, 21, Ending::Finished);
        o.type = 'E';
        write(path("20231015_142530_1CH_E_F.mp4"), o, nullptr);
        const QStringList lines = run("merido-tool", {"sensors", path("20231015_142530_1CH_E_F.mp4")})
                                      .split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 8); // four records, each a GPS line and a G line
        const QRegularExpression gps(R"(^GPS,(\d+),23,10,15,14,25,(\d+),1,(\d+\.\d{4}),(\d+\.\d{4}),[\d.]+,[\d.]+$)");
        const QRegularExpression g(R"(^G,(\d+),(\d+),(\d+),(\d+),0$)");
        int impact = 0;
        for (int k = 0; k < 4; ++k) {
            const auto m = gps.match(lines[2 * k]);
            QVERIFY2(m.hasMatch(), qPrintable(lines[2 * k]));
            QCOMPARE(m.captured(1).toInt(), k * 1000);
            QCOMPARE(m.captured(2).toInt(), 30 + k); // the record's clock is the file's clock
            const auto s = g.match(lines[2 * k + 1]);
            QVERIFY2(s.hasMatch(), qPrintable(lines[2 * k + 1]));
            QCOMPARE(s.captured(1).toInt(), k * 1000);
            if (s.captured(2).toInt() >= 90 && s.captured(3).toInt() >= 90)
                impact = k;
        }
        QCOMPARE(impact, 2); // an event recording carries its impact in the middle

        QXmlStreamReader gpx(run("merido-tool", {"sensors", path("20231015_142530_1CH_E_F.mp4"), "--gpx"}));
        int points = 0;
        while (!gpx.atEnd())
            if (gpx.readNext() == QXmlStreamReader::StartElement && gpx.name() == u"trkpt") {
                ++points;
                QVERIFY(qAbs(gpx.attributes().value("lat").toDouble() - 37.5) < 1);
            }
        QVERIFY2(!gpx.hasError(), qPrintable(gpx.errorString()));
        QCOMPARE(points, 4);
    }

    // A card tree: names, folders, power-cut recordings without index, then repaired by the CLI.
    void cardTree()
    {
        const QString card = path("card");
        const QStringList files = run("camsim", {"card", card, "--seed", "4", "--normal", "2", "--event", "1",
                                                 "--parking", "1", "--user", "0", "--seconds", "2", "--channels",
                                                 "3", "--power-cut", "1"})
                                      .split('\n', Qt::SkipEmptyParts);
        QCOMPARE(files.size(), 12);
        const QRegularExpression name(R"(/(NOR|EVT|MOT|USR)/(FRONT|REAR)/\d{8}_\d{6}_3CH_([NEPU])_(F|R1|R2)\.mp4$)");
        int withoutIndex = 0;
        for (const QString &f : files) {
            const auto m = name.match(f);
            QVERIFY2(m.hasMatch(), qPrintable(f));
            QCOMPARE(m.captured(2) == "FRONT", m.captured(4) == "F");
            QVERIFY(QFile::exists(f));
            withoutIndex += indexOf(readAll(f)).empty();
        }
        QCOMPARE(withoutIndex, 9); // the last of each type, three channels each

        const QStringList repaired = run("merido-tool", QStringList{"repair"} + files).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(repaired.size(), files.size());
        QCOMPARE(repaired.filter(": repaired").size(), 9);
        QCOMPARE(repaired.filter(": intact").size(), 3);
        const QStringList again = run("merido-tool", QStringList{"repair"} + files).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(again.filter(": intact").size(), 12);
        for (const QString &f : files)
            QVERIFY(!indexOf(readAll(f)).empty());

        const PlayResult play = playToEnd(files.filter("_P_R2").value(0));
        QVERIFY2(play.reachedEnd, qPrintable(play.error));
        QCOMPARE(play.videoFrames, 60);
    }

    void repairCommandReportsFailures()
    {
        QFile junk(path("20231015_142530_1CH_N_F.mp4"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(100, 'x')) == 100);
        junk.close();
        const QString out = run("merido-tool", {"repair", junk.fileName(), path("nothing_N_F.mp4"), path("x.mp4")}, 1);
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].endsWith(": failed: not a camera recording"), qPrintable(lines[0]));
        QVERIFY2(lines[1].endsWith(": failed: cannot open for reading and writing"), qPrintable(lines[1]));
        QVERIFY2(lines[2].contains(": failed: the name tells no side"), qPrintable(lines[2]));
        QCOMPARE(readAll(junk.fileName()), QByteArray(100, 'x'));
    }
};

QTEST_GUILESS_MAIN(TestRecordings)
#include "tst_recordings.moc"
