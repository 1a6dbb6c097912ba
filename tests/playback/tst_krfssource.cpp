// Partition recordings through the playback engine: a camsim card image, the program's own
// partition source element, a real pipeline with image surfaces.
#include "burnedclock.h"
#include "card.h"
#include "graphsession.h"
#include "imagesurface.h"
#include "krfsreader.h"
#include "krfssrc.h"
#include "playbackgraph.h"
#include "recordingset.h"
#include "sourceselector.h"
#include "streamparser.h"
#include "avitextstream.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace playback;
using namespace testsupport;

namespace {

constexpr int kFrontFrameMs = 35;  // one front frame of the partition AVI (1000 / 29.121 ms), rounded up
constexpr int kSettleMs = 20000;   // generous: sanitizer builds on a shared machine

} // namespace

class TestKrfsSource : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_image, m_truncated, m_cutInside;
    QByteArray m_whole; // the recording's bytes, as one front-to-back read gets them
    camsim::KrfsFile m_file;
    QDateTime m_start; // the burned-in clock of the recording's first frame
    ImageSurface m_s0{QSize(320, 180)}, m_s1{QSize(320, 180)}, m_s2{QSize(320, 180)};
    std::unique_ptr<PlaybackGraph> m_graph;

    std::string uriFor(const QString &image, uint32_t key) const
    {
        KrfsLocation l;
        l.device = image.toStdString();
        l.path = "/" + m_file.folder + "/" + m_file.name;
        l.key = key;
        return l.uri();
    }
    std::string uri() const { return uriFor(m_image, m_file.key); }
    qint64 shownMs(const QImage &picture) const
    {
        const QDateTime t = readBurnedClock(picture);
        return t.isValid() ? m_start.msecsTo(t) : -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        camsim::KrfsCardOptions o;
        o.normal = 1;
        o.event = 0;
        o.seconds = 3;
        o.frontHeight = 480; // cheap to decode under the sanitizers
        std::vector<camsim::KrfsFile> files;
        std::string error;
        m_image = m_dir.filePath("card.img");
        QVERIFY2(camsim::writeKrfsCard(m_image.toStdString(), o, files, error), error.c_str());
        QCOMPARE(files.size(), std::size_t(1));
        m_file = files[0];
        // "YYYYMMDD_HHMMSS_..." names the camera's clock at the first frame.
        m_start = QDateTime::fromString(QString::fromStdString(m_file.name.substr(0, 15)), "yyyyMMdd_HHmmss");
        QVERIFY(m_start.isValid());
        // The recording's data sits in the image's second half: cutting it loses the end.
        m_truncated = writeTruncated(m_dir.path(), "cut.img", m_image, 0.7);
        QVERIFY(!m_truncated.isEmpty());

        const auto where = KrfsLocation::parse(uri());
        QVERIFY(where);
        KrfsReader reader;
        QVERIFY2(reader.open(*where), reader.why().c_str());
        m_whole.resize(qsizetype(reader.size()));
        QCOMPARE(reader.readAt(0, m_whole.data(), reader.size()), int64_t(reader.size()));
        // An image cut in the middle of the recording's data: its head still reads.
        QFile image(m_image);
        QVERIFY(image.open(QIODevice::ReadOnly));
        const QByteArray all = image.readAll();
        const qsizetype at = all.indexOf(m_whole.left(4096));
        QVERIFY(at > 0);
        m_cutInside = writeBytes(m_dir.path(), "cut-inside.img", all.left(at + m_whole.size() / 2));
        QVERIFY(!m_cutInside.isEmpty());
    }

    void init()
    {
        m_graph = std::make_unique<PlaybackGraph>();
        m_graph->setAudioSink("fakeaudiosink");
        m_graph->AttachWindows(&m_s0, &m_s1, &m_s2);
    }

    void cleanup() { m_graph.reset(); }

    void parseLocation_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("path");
        QTest::addColumn<uint>("key");
        QTest::newRow("image") << "krfs:///tmp/card.img?key=3#/NORMAL/A_F.avi" << true << "/tmp/card.img"
                               << "/NORMAL/A_F.avi" << 3u;
        QTest::newRow("device node") << "krfs:///dev/sdb?key=4294967295#/EVENT/B.avi" << true << "/dev/sdb"
                                     << "/EVENT/B.avi" << 4294967295u;
        QTest::newRow("image path with ? and #") << "krfs:///t/a?b#c?key=12#/N/x" << true << "/t/a?b#c" << "/N/x" << 12u;
        QTest::newRow("plain file") << "/tmp/a.avi" << false << "" << "" << 0u;
        QTest::newRow("no key") << "krfs:///tmp/card.img#/N/x" << false << "" << "" << 0u;
        QTest::newRow("key 0") << "krfs:///tmp/card.img?key=0#/N/x" << false << "" << "" << 0u;
        QTest::newRow("key too big") << "krfs:///i?key=4294967296#/N/x" << false << "" << "" << 0u;
        QTest::newRow("key not a number") << "krfs:///i?key=1x#/N/x" << false << "" << "" << 0u;
        QTest::newRow("no image") << "krfs://?key=1#/N/x" << false << "" << "" << 0u;
        QTest::newRow("no folder") << "krfs:///i?key=1#/x.avi" << false << "" << "" << 0u;
        QTest::newRow("no name") << "krfs:///i?key=1#/N/" << false << "" << "" << 0u;
        QTest::newRow("deeper path") << "krfs:///i?key=1#/N/a/b" << false << "" << "" << 0u;
    }

    void parseLocation()
    {
        QFETCH(QString, uri);
        QFETCH(bool, valid);
        const auto l = KrfsLocation::parse(uri.toStdString());
        QCOMPARE(l.has_value(), valid);
        if (!valid)
            return;
        QFETCH(QString, device);
        QFETCH(QString, path);
        QFETCH(uint, key);
        QCOMPARE(QString::fromStdString(l->device), device);
        QCOMPARE(QString::fromStdString(l->path), path);
        QCOMPARE(l->key, key);
        QCOMPARE(l->uri(), uri.toStdString()); // and it writes back the same
    }

    // Reads at shuffled offsets, backwards and forwards, return what one front-to-back
    // pass reads.
    void randomAccessMatchesSequentialRead()
    {
        const auto where = KrfsLocation::parse(uri());
        QVERIFY(where);
        KrfsReader reader;
        QVERIFY2(reader.open(*where), reader.why().c_str());
        QCOMPARE(reader.size(), m_file.bytes);
        QByteArray whole(qsizetype(reader.size()), '\0');
        QCOMPARE(reader.readAt(0, whole.data(), reader.size()), int64_t(reader.size()));
        QVERIFY(whole.startsWith("RIFF"));
        QCOMPARE(reader.readAt(reader.size(), whole.data(), 16), int64_t(0)); // at the end

        QCOMPARE(whole, m_whole);

        QRandomGenerator random(7);
        for (int i = 0; i < 40; ++i) {
            const uint64_t offset = random.bounded(quint64(reader.size()));
            const uint64_t length = random.bounded(1, 300000);
            QByteArray got(qsizetype(length), '\0');
            const int64_t n = reader.readAt(offset, got.data(), length);
            QCOMPARE(n, int64_t(std::min<uint64_t>(length, reader.size() - offset)));
            QVERIFY2(got.left(n) == whole.mid(qsizetype(offset), n), qPrintable(QString::number(offset)));
        }
        QCOMPARE(SourceSelector::readHead(uri(), 64), whole.left(64));
    }

    // The element alone, pushing into a file: the same bytes, or an error message.
    void elementCopiesTheFile_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<bool>("copies");
        QTest::newRow("whole recording") << "good" << true;
        QTest::newRow("wrong key") << "key" << false;
        QTest::newRow("image cut inside the recording") << "cut" << false;
        QTest::newRow("no key set") << "nokey" << false;
    }

    void elementCopiesTheFile()
    {
        QFETCH(QString, which);
        QFETCH(bool, copies);
        gst_init(nullptr, nullptr);
        QVERIFY(registerKrfsSrc());
        QVERIFY(registerKrfsSrc()); // a second call is harmless
        const QString out = m_dir.filePath("copy.avi");
        QFile::remove(out);
        GError *error = nullptr;
        ElementHandle pipeline(gst_parse_launch(
            QString("%1 name=s ! filesink name=f location=\"%2\"").arg(kKrfsSrcName, out).toUtf8().constData(), &error));
        QVERIFY2(pipeline, error ? error->message : "");
        ElementHandle src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "s"));
        const QString image = which == "cut" ? m_cutInside : m_image;
        const guint key = which == "key" ? m_file.key + 1 : which == "nokey" ? 0 : m_file.key;
        g_object_set(src.get(), "device", image.toUtf8().constData(), "path",
                     ("/" + m_file.folder + "/" + m_file.name).c_str(), "key", key, nullptr);
        gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
        BusHandle bus(gst_element_get_bus(pipeline.get()));
        MessageHandle msg(gst_bus_timed_pop_filtered(bus.get(), 60 * GST_SECOND,
                                                     GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
        gst_element_set_state(pipeline.get(), GST_STATE_NULL);
        QVERIFY(msg);
        QCOMPARE(GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_EOS, copies);
        if (copies) {
            QFile f(out);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll() == m_whole);
        }
    }

    // The sensor records of a partition AVI: those of its text stream, read in place.
    void sensorRecordsFromThePartition()
    {
        QBuffer copy(&m_whole);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        std::string error;
        const auto expected = readAviTextRecords(copy, error);
        QVERIFY2(expected && !expected->empty(), error.c_str());
        StreamParser parser;
        QCOMPARE(parser.Load(uri()), S_OK);
        char buffer[kSensorRecordBufferSize];
        int count = 0, index = -1;
        for (std::size_t i = 0; i < expected->size(); ++i) {
            count = sizeof buffer;
            QCOMPARE(parser.ReadSensorRecord(buffer, &count, &index), S_OK);
            QCOMPARE(index, int(i));
            QCOMPARE(QByteArray(buffer, count), (*expected)[i]);
        }
        count = sizeof buffer;
        QCOMPARE(parser.ReadSensorRecord(buffer, &count, &index), VFW_E_NOT_FOUND);
    }

    void playsFromThePartition()
    {
        QVERIFY(m_graph->Open(uri()));
        const auto session = m_graph->session();
        QVERIFY(session);
        QCOMPARE(m_graph->State(), int(GraphStopped));
        QVERIFY(m_graph->DurationMs() >= 2900 && m_graph->DurationMs() <= 3100);
        QImage picture;
        QVERIFY(m_graph->GrabFrame(0, picture));
        QCOMPARE(shownMs(picture), 0); // the first picture, shown while stopped

        // An accurate seek backwards from the index at the end: the picture of the target.
        for (int target : {2345, 1000}) {
            QVERIFY(m_graph->SeekMs(target));
            QVERIFY(session->WaitUntilSettled(kSettleMs));
            QCOMPARE(m_graph->PositionMs(), target);
            QVERIFY(m_graph->GrabFrame(0, picture));
            const qint64 shown = shownMs(picture);
            QVERIFY2(shown <= target && shown > target - kFrontFrameMs,
                     qPrintable(QString("shows %1 ms for %2 ms").arg(shown).arg(target)));
        }

        QCOMPARE(m_graph->Play(), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(m_graph->PositionMs() == m_graph->DurationMs(), kSettleMs);
        QVERIFY(m_graph->GrabFrame(0, picture));
        QVERIFY2(shownMs(picture) > 1000, qPrintable(QString::number(shownMs(picture))));
    }

    void damagedSourceFailsTheLoad_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("wrong key") << "key";
        QTest::newRow("truncated image") << "truncated";
        QTest::newRow("image cut inside the recording") << "cut";
        QTest::newRow("missing image") << "missing";
        QTest::newRow("not a partition") << "garbage";
        QTest::newRow("malformed location") << "malformed";
    }

    void damagedSourceFailsTheLoad()
    {
        QFETCH(QString, which);
        std::string path;
        if (which == "key")
            path = uriFor(m_image, m_file.key + 1);
        else if (which == "truncated")
            path = uriFor(m_truncated, m_file.key);
        else if (which == "cut")
            path = uriFor(m_cutInside, m_file.key);
        else if (which == "missing")
            path = uriFor(m_dir.filePath("none.img"), m_file.key);
        else if (which == "garbage")
            path = uriFor(writeBytes(m_dir.path(), "garbage.img", QByteArray(1 << 20, '\x5a')), m_file.key);
        else
            path = "krfs://" + m_image.toStdString() + "#/NORMAL";
        QVERIFY(m_graph->Open(uri()));
        QVERIFY(!m_graph->Open(path));
        QCOMPARE(m_graph->State(), -1);
        QVERIFY(m_graph->Play() < 0);
        // A cut image may still give its head; the load fails later, in the pipeline.
        QVERIFY(SourceSelector::readHead(path, 64).isEmpty() || which == "truncated" || which == "cut");
        QVERIFY(m_graph->Open(uri())); // and the next open works again
    }
};

QTEST_MAIN(TestKrfsSource)
#include "tst_krfssource.moc"
