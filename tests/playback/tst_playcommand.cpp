// merido-tool play, the engine's headless harness, run as a user runs it.
#include "burnedclock.h"
#include "card.h"
#include "recordingset.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace testsupport;

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run tool(const QStringList &args)
{
    QProcess p;
    p.start(QDir(qEnvironmentVariable("MERIDO_BIN_DIR")).filePath("merido-tool"), QStringList{"play"} + args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestPlayCommand : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_front, m_rear;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_front = writeChannel(m_dir.path(), "F.mp4", 0, 2.0);
        m_rear = writeChannel(m_dir.path(), "R1.mp4", 1, 2.0);
        QVERIFY(!m_front.isEmpty() && !m_rear.isEmpty());
    }

    void playsToTheEndAndGrabs()
    {
        const QString grabs = m_dir.filePath("grabs");
        const Run r = tool({m_front, m_rear, "--seek", "1000", "--rate", "2", "--grab", grabs});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("2 channel(s), state 2"));
        QVERIFY(r.out.contains("rate 2.00"));
        const auto positions = QRegularExpression("position (\\d+) duration (\\d+)").globalMatch(r.out);
        qint64 last = -1, duration = -1;
        int lines = 0;
        for (auto it = positions; it.hasNext(); ++lines) {
            const auto m = it.next();
            QVERIFY(m.captured(1).toLongLong() >= last); // forward only
            last = m.captured(1).toLongLong();
            duration = m.captured(2).toLongLong();
        }
        QVERIFY(lines >= 2);
        QCOMPARE(last, duration); // played to the end
        for (int c = 1; c <= 2; ++c) {
            const auto frames = QRegularExpression(QString("channel %1: (\\d+) frames shown").arg(c)).match(r.out);
            QVERIFY2(frames.hasMatch() && frames.captured(1).toInt() > 0, qPrintable(r.out)); // how many: load-dependent
            QImage grabbed(QDir(grabs).filePath(QString("channel%1.png").arg(c)));
            QCOMPARE(grabbed.size(), c == 1 ? QSize(1920, 1080) : QSize(720, 480));
            // Paused at the end on a picture from after the seek target (which one depends on
            // how many late pictures a loaded machine dropped).
            QVERIFY(recordingStart().msecsTo(readBurnedClock(grabbed)) > 1000 - 35);
        }
        QVERIFY(!QFile::exists(QDir(grabs).filePath("channel3.png")));
    }

    // A recording inside a card image's partition, named as the README shows.
    void playsAPartitionRecording()
    {
        camsim::KrfsCardOptions o;
        o.normal = 1;
        o.event = 0;
        o.seconds = 2;
        o.frontHeight = 480;
        std::vector<camsim::KrfsFile> files;
        std::string error;
        const QString image = m_dir.filePath("card.img");
        QVERIFY2(camsim::writeKrfsCard(image.toStdString(), o, files, error), error.c_str());
        QCOMPARE(files.size(), std::size_t(1));
        const camsim::KrfsFile &f = files[0];
        const QString path = QString("/%1/%2").arg(QString::fromStdString(f.folder), QString::fromStdString(f.name));
        const QString grabs = m_dir.filePath("partition-grabs");
        const Run r = tool({QString("krfs://%1?key=%2#%3").arg(image).arg(f.key).arg(path), "--seek", "1000", "--grab", grabs});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("1 channel(s), state 2"), qPrintable(r.out));
        QImage grabbed(QDir(grabs).filePath("channel1.png"));
        QCOMPARE(grabbed.size(), QSize(720, 480));
        const QDateTime start = QDateTime::fromString(QString::fromStdString(f.name.substr(0, 15)), "yyyyMMdd_HHmmss");
        QVERIFY(start.msecsTo(readBurnedClock(grabbed)) > 1000 - 35);

        const Run wrongKey = tool({QString("krfs://%1?key=%2#%3").arg(image).arg(f.key + 1).arg(path)});
        QCOMPARE(wrongKey.exitCode, 1);
        QVERIFY(wrongKey.err.contains("does not load"));
    }

    // The bench mode: every timed seek finds the picture of its target.
    void timedSeeks()
    {
        const Run r = tool({m_front, m_rear, "--seeks", "3"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("seek to picture: 3 seeks"), qPrintable(r.out));
        QVERIFY(!r.out.contains("no picture"));
        QVERIFY(r.out.contains("open to first picture, plugins loaded: 10 opens"));
    }

    void refuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no file") << QStringList{} << 2;
        QTest::newRow("four files") << QStringList{"a", "b", "c", "d"} << 2;
        QTest::newRow("bad rate") << QStringList{"F.mp4", "--rate", "fast"} << 2;
        QTest::newRow("negative seek") << QStringList{"F.mp4", "--seek", "-5"} << 2;
        QTest::newRow("unknown option") << QStringList{"F.mp4", "--loop", "1"} << 2;
        QTest::newRow("front does not load") << QStringList{"/nonexistent/F.mp4"} << 1;
    }

    void refuses()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        const Run r = tool(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(!r.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlayCommand)
#include "tst_playcommand.moc"
