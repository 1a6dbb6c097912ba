// Container check and repair on recordings built byte by byte.
#include "containerrepair.h"
#include "mp4boxes.h"
#include "recordingfixture.h"
#include "sensortrack.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace storage;
using namespace testsupport;

namespace {

constexpr int kSensorSize = 61 + 16; // the fixture's sentence, then marker and 11 bytes

std::vector<std::uint32_t> runsOf(std::initializer_list<ChunkRun> runs)
{
    std::vector<std::uint32_t> v;
    for (const ChunkRun &r : runs)
        v.insert(v.end(), {r.firstChunk, r.samplesPerChunk, r.descriptionIndex});
    return v;
}

} // namespace

class TestContainerRepair : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void sevenSamples_data()
    {
        QTest::addColumn<int>("firstSize");
        QTest::addColumn<bool>("aligned");
        QTest::newRow("0xFF on a multiple of 4") << 102 << true;
        QTest::newRow("0xFF off by 2") << 100 << false;
    }
    void sevenSamples()
    {
        QFETCH(int, firstSize);
        QFETCH(bool, aligned);
        RecordingFixture f;
        const auto idr1 = f.idr(firstSize);
        f.p(60);
        const auto a1 = f.audio(40);
        const auto p2 = f.p(48);
        f.p(52);
        const auto s1 = f.sensor();
        const auto idr2 = f.idr(200);
        const auto a2 = f.audio(36);
        const auto s2 = f.sensor();
        const auto p5 = f.p(64);
        f.p(44);
        const std::uint32_t end = f.pos();
        f.raw(QByteArray(1, char(0xFF)));
        f.raw(QByteArray(100, char(0x22)));
        QCOMPARE((end - 40) % 4 == 0, aligned);

        const ScanResult scan = scanMediaData(MemorySource(bytesOf(f.data)));
        const MediaTables &t = scan.tables;
        QCOMPARE(t.videoSizes, (std::vector<std::uint32_t>{std::uint32_t(firstSize), 60, 48, 52, 200, 64, 44}));
        QCOMPARE(t.syncSamples, (std::vector<std::uint32_t>{1, 5}));
        QCOMPARE(t.videoChunks, (std::vector<std::uint32_t>{idr1, p2, idr2, p5}));
        QCOMPARE(t.videoRuns, (std::vector<ChunkRun>{{1, 2, 1}, {3, 1, 1}, {4, 2, 1}}));
        QCOMPARE(t.audioChunks, (std::vector<std::uint32_t>{a1, a2}));
        QCOMPARE(t.audioSizes, (std::vector<std::uint32_t>{40, 36}));
        QCOMPARE(t.sensorChunks, (std::vector<std::uint32_t>{s1, s2}));
        QCOMPARE(t.sensorSizes, (std::vector<std::uint32_t>{kSensorSize, kSensorSize}));
        QCOMPARE(scan.end, std::uint64_t(end));

        QVERIFY(f.save(path("seven.mp4")));
        QVERIFY(repairRecording(path("seven.mp4").toStdString(), kSideFront, 3));
        const QByteArray repaired = readAll(path("seven.mp4"));
        const std::uint32_t mediaSize = (end - 40 + 3) / 4 * 4;
        QCOMPARE(ByteReader(bytesOf(repaired)).u32beAt(40), mediaSize);
        const auto moov = indexOf(repaired);
        QVERIFY(!moov.empty());
        if (aligned)
            QCOMPARE(moov.data(), bytesOf(repaired).data() + end); // starts right at the 0xFF
        // Nothing before the new index changed but the size field.
        QCOMPARE(repaired.left(40), f.data.left(40));
        QCOMPARE(repaired.mid(44, int(end) - 44), f.data.mid(44, int(end) - 44));

        const auto tracks = trackTables(moov);
        QCOMPARE(tracks.size(), std::size_t(3));
        QCOMPARE(tracks[0].stsc, runsOf({{1, 2, 1}, {3, 1, 1}, {4, 2, 1}}));
        QCOMPARE(tracks[0].stss, t.syncSamples);
        QCOMPARE(tracks[0].stsz, t.videoSizes);
        QCOMPARE(tracks[0].stco, t.videoChunks);
        QCOMPARE(tracks[0].stts, (std::vector<std::uint32_t>{1, 1024, 6, 512}));
        QCOMPARE(tracks[1].stsz, t.sensorSizes);
        QCOMPARE(tracks[1].stco, t.sensorChunks);
        QCOMPARE(tracks[2].stsz, t.audioSizes);
        QCOMPARE(tracks[2].stco, t.audioChunks);
        QCOMPARE(tracks[2].stsc, runsOf({{1, 1, 1}}));

        // A second call finds the index and writes nothing.
        QVERIFY(!repairRecording(path("seven.mp4").toStdString(), kSideFront, 3));
        QCOMPARE(repairRecordingOutcome(path("seven.mp4").toStdString(), kSideFront, 3), RepairOutcome::Intact);
        QCOMPARE(readAll(path("seven.mp4")), repaired);
    }

    void resolution_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("sizeClass");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("avc1Size");
        QTest::addColumn<QByteArray>("sps");
        const QByteArray sps1080 = QByteArray::fromHex("67640033AC1B1A80780227E584000003000400000300F23C50AA80");
        const QByteArray sps720 = QByteArray::fromHex("67640033AC1B1A805005BA10000003001000000303C8F142AA");
        const QByteArray sps480 = QByteArray::fromHex("67640033AC1B1A80B43DA10000030001000003003C8F142AA0");
        QTest::newRow("front, class 3") << 1 << 3 << 1920 << 1080 << 136 << sps1080;
        QTest::newRow("front, class 1 stays 1080") << 1 << 1 << 1920 << 1080 << 136 << sps1080;
        QTest::newRow("rear, class 3") << 2 << 3 << 1920 << 1080 << 136 << sps1080;
        QTest::newRow("rear, class 1") << 2 << 1 << 1280 << 720 << 134 << sps720;
        QTest::newRow("rear, class 0") << 2 << 0 << 720 << 480 << 134 << sps480;
        QTest::newRow("rear, class 2") << 2 << 2 << 720 << 480 << 134 << sps480;
    }
    void resolution()
    {
        QFETCH(int, side);
        QFETCH(int, sizeClass);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, avc1Size);
        QFETCH(QByteArray, sps);
        MediaTables t;
        t.videoSizes = {100};
        t.videoChunks = {48};
        t.syncSamples = {1};
        t.videoRuns = {{1, 1, 1}};
        const auto index = buildIndex(t, side, sizeClass);
        const auto moov = boxesIn(index)[0];
        const auto trak = childBox(moov.body, fourcc("trak"));
        QVERIFY(trak);
        ByteReader tkhd(childBox(trak->body, fourcc("tkhd"))->body);
        QCOMPARE(tkhd.u32beAt(76), std::uint32_t(width) << 16);
        QCOMPARE(tkhd.u32beAt(80), std::uint32_t(height) << 16);
        const auto stbl = childBox(childBox(childBox(trak->body, fourcc("mdia"))->body, fourcc("minf"))->body, fourcc("stbl"));
        const auto stsd = childBox(stbl->body, fourcc("stsd"));
        const auto avc1 = boxesIn(stsd->body.subspan(8))[0];
        QCOMPARE(avc1.type, fourcc("avc1"));
        QCOMPARE(int(avc1.whole.size()), avc1Size);
        QCOMPARE(int(ByteReader(avc1.body).u32beAt(24) >> 16), width);
        QCOMPARE(int(ByteReader(avc1.body).u32beAt(24) & 0xFFFF), height);
        const auto avcC = boxesIn(avc1.body.subspan(78))[0];
        QCOMPARE(avcC.type, fourcc("avcC"));
        QCOMPARE(int(avcC.whole.size()), avc1Size - 86);
        const QByteArray body(reinterpret_cast<const char *>(avcC.body.data()), qsizetype(avcC.body.size()));
        QCOMPARE(body.left(8), QByteArray::fromHex("01640033FFE1") + char(0) + char(sps.size()));
        QCOMPARE(body.mid(8, sps.size()), sps);
        QCOMPARE(body.mid(8 + sps.size()), QByteArray::fromHex("01000468EE3CB0"));
    }

    // The fixed sizes of the camera's boxes and descriptors, and every container adding up.
    void boxSizes()
    {
        MediaTables t;
        t.videoSizes = {100, 50};
        t.videoChunks = {48};
        t.syncSamples = {1};
        t.videoRuns = {{1, 2, 1}};
        t.audioSizes = {30};
        t.audioChunks = {198};
        t.sensorSizes = {78};
        t.sensorChunks = {228};
        const auto index = buildIndex(t, kSideFront, 3);
        const auto moov = boxesIn(index);
        QCOMPARE(moov.size(), std::size_t(1));
        QCOMPARE(moov[0].whole.size(), index.size());
        QVERIFY(sizesConsistent(moov[0]));
        QCOMPARE(childBox(moov[0].body, fourcc("mvhd"))->whole.size(), std::size_t(108));
        struct Expect {
            std::size_t hdlr, header, entry, esds;
            std::uint32_t entryType;
        };
        const Expect expect[] = {{45, 20, 136, 0, fourcc("avc1")}, {37, 12, 113, 97, fourcc("mp4s")},
                                 {45, 16, 87, 51, fourcc("mp4a")}};
        for (int i = 0; i < 3; ++i) {
            const auto trak = childBox(moov[0].body, fourcc("trak"), i);
            QVERIFY(trak);
            QCOMPARE(childBox(trak->body, fourcc("tkhd"))->whole.size(), std::size_t(92));
            QCOMPARE(childBox(childBox(trak->body, fourcc("edts"))->body, fourcc("elst"))->whole.size(), std::size_t(28));
            const auto mdia = childBox(trak->body, fourcc("mdia"));
            QCOMPARE(childBox(mdia->body, fourcc("mdhd"))->whole.size(), std::size_t(32));
            QCOMPARE(childBox(mdia->body, fourcc("hdlr"))->whole.size(), expect[i].hdlr);
            const auto minf = childBox(mdia->body, fourcc("minf"));
            QCOMPARE(boxesIn(minf->body)[0].whole.size(), expect[i].header);
            QCOMPARE(childBox(childBox(minf->body, fourcc("dinf"))->body, fourcc("dref"))->whole.size(), std::size_t(28));
            const auto stbl = childBox(minf->body, fourcc("stbl"));
            const auto entry = boxesIn(childBox(stbl->body, fourcc("stsd"))->body.subspan(8))[0];
            QCOMPARE(entry.type, expect[i].entryType);
            QCOMPARE(entry.whole.size(), expect[i].entry);
            if (expect[i].esds) {
                const auto esds = boxesIn(entry.body.subspan(entry.type == fourcc("mp4s") ? 8 : 28))[0];
                QCOMPARE(esds.type, fourcc("esds"));
                QCOMPARE(esds.whole.size(), expect[i].esds);
            }
            QCOMPARE(childBox(stbl->body, fourcc("stsz"))->whole.size(), std::size_t(20 + 4 * (i == 0 ? 2 : 1)));
        }
        // The sound descriptor ends with AAC LC, 16 kHz, stereo and the SL byte.
        const auto sound = trackTables(index);
        QCOMPARE(sound[1].stts, (std::vector<std::uint32_t>{1, 0}));
        QCOMPARE(sound[2].stts, (std::vector<std::uint32_t>{1, 1024}));
        const QByteArray all(reinterpret_cast<const char *>(index.data()), qsizetype(index.size()));
        QVERIFY(all.contains(QByteArray::fromHex("05808080021410068080800102")));
        QVERIFY(all.contains(QByteArray("\x00\x00\x00\x12" "ftab\x00\x01\x00\x01\x05Serif", 18)));
    }

    void videoOnly()
    {
        RecordingFixture f;
        f.idr(300);
        for (int i = 0; i < 9; ++i)
            f.p(80 + i);
        QVERIFY(f.save(path("video-only.mp4")));
        QVERIFY(repairRecording(path("video-only.mp4").toStdString(), kSideRear, 2));
        const auto tracks = trackTables(indexOf(readAll(path("video-only.mp4"))));
        QCOMPARE(tracks[0].stco, (std::vector<std::uint32_t>{48}));
        QCOMPARE(tracks[0].stsc, runsOf({{1, 10, 1}}));
        QCOMPARE(tracks[0].stts, (std::vector<std::uint32_t>{10, 512}));
        // Empty tracks get no chunk run: one that names a missing chunk breaks demuxers.
        for (int i : {1, 2}) {
            QVERIFY(tracks[std::size_t(i)].stsc.empty());
            QVERIFY(tracks[std::size_t(i)].stts.empty());
            QVERIFY(tracks[std::size_t(i)].stco.empty());
        }
    }

    // A size field written without the index after it: rebuilt from offset 48.
    void sizeWithoutIndex()
    {
        RecordingFixture f;
        f.idr(120);
        f.p(60);
        const std::uint32_t end = f.pos();
        f.setMediaSize(0x1234);
        QVERIFY(f.save(path("stale-size.mp4")));
        QVERIFY(repairRecording(path("stale-size.mp4").toStdString(), kSideFront, 3));
        const QByteArray repaired = readAll(path("stale-size.mp4"));
        QCOMPARE(ByteReader(bytesOf(repaired)).u32beAt(40), end - 40);
        QCOMPARE(trackTables(indexOf(repaired))[0].stsz, (std::vector<std::uint32_t>{120, 60}));
    }

    // An index written but not yet its size field (a repair cut short): the next check
    // rebuilds the same index.
    void interruptedRepairIsRedone()
    {
        RecordingFixture f;
        f.idr(120);
        f.audio(30);
        f.p(60);
        QVERIFY(f.save(path("whole.mp4")));
        QVERIFY(repairRecording(path("whole.mp4").toStdString(), kSideFront, 3));
        QByteArray half = readAll(path("whole.mp4"));
        half.replace(40, 4, QByteArray(4, '\0'));
        QFile out(path("half.mp4"));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(half) == half.size());
        out.close();
        QVERIFY(repairRecording(path("half.mp4").toStdString(), kSideFront, 3));
        QCOMPARE(readAll(path("half.mp4")), readAll(path("whole.mp4")));
    }

    // What a scan cannot measure stays out of the index, so that every chunk has its size.
    void unmeasurableRecords_data()
    {
        QTest::addColumn<bool>("sensorWithoutMarker");
        QTest::newRow("sensor record without marker") << true;
        QTest::newRow("audio frame followed by an unknown byte") << false;
    }
    void unmeasurableRecords()
    {
        QFETCH(bool, sensorWithoutMarker);
        RecordingFixture f;
        f.idr(100);
        std::uint32_t expectedEnd = 0;
        if (sensorWithoutMarker) {
            const std::uint32_t s = f.sensor(false);
            f.raw(QByteArray(300, char(0x33)));
            expectedEnd = s + 256; // the scan skips the 256 bytes it searched
        } else {
            const std::uint32_t a = f.audio(40);
            f.raw(QByteArray(600, char(0x77)));
            expectedEnd = a + 8;
        }
        const ScanResult scan = scanMediaData(MemorySource(bytesOf(f.data)));
        QCOMPARE(scan.tables.sensorChunks.size(), scan.tables.sensorSizes.size());
        QCOMPARE(scan.tables.audioChunks.size(), scan.tables.audioSizes.size());
        QVERIFY(scan.tables.sensorSizes.empty());
        QVERIFY(scan.tables.audioSizes.empty());
        QCOMPARE(scan.end, std::uint64_t(expectedEnd));
    }

    // Recordings longer than a minute are indexed whole.
    void fiveMinutes()
    {
        RecordingFixture f;
        const int frames = 300 * 30;
        for (int k = 0; k < frames; ++k) {
            if (k % 30 == 0)
                f.idr(90);
            else
                f.p(20);
            if (k % 30 == 1)
                f.sensor();
            if (k % 2 == 1)
                f.audio(24);
        }
        QVERIFY(f.save(path("long.mp4")));
        QVERIFY(repairRecording(path("long.mp4").toStdString(), kSideRear, 2));
        const auto tracks = trackTables(indexOf(readAll(path("long.mp4"))));
        QCOMPARE(tracks[0].stsz.size(), std::size_t(frames));
        QCOMPARE(tracks[0].stss.size(), std::size_t(300));
        QCOMPARE(tracks[1].stsz.size(), std::size_t(300));
        QCOMPARE(tracks[2].stsz.size(), std::size_t(frames / 2 - 1)); // the last frame has no successor
    }

    // Cut anywhere: the index starts at or after the end of every sample it lists.
    void cutAnywhere()
    {
        RecordingFixture f;
        f.idr(150);
        f.sensor();
        f.p(70);
        f.audio(40);
        f.p(90);
        f.audio(30);
        f.sensor();
        f.p(60);
        const QByteArray whole = f.data;
        for (int cut = 40; cut <= whole.size(); ++cut) {
            RecordingFixture g;
            g.data = whole.left(cut);
            const QString file = path("cut.mp4");
            QVERIFY(g.save(file));
            const auto outcome = repairRecordingOutcome(file.toStdString(), kSideFront, 3);
            const QByteArray after = readAll(file);
            QVERIFY2(after.size() >= cut, qPrintable(QString("cut %1").arg(cut)));
            if (outcome != RepairOutcome::Repaired)
                continue;
            const auto moov = indexOf(after);
            QVERIFY2(!moov.empty(), qPrintable(QString("cut %1").arg(cut)));
            const std::size_t indexAt = std::size_t(moov.data() - bytesOf(after).data());
            for (const TrackTables &t : trackTables(moov)) {
                const auto ranges = sampleRanges(t);
                QCOMPARE(ranges.size(), t.stsz.size());
                for (const auto &[offset, size] : ranges)
                    QVERIFY2(offset >= 48 && offset + size <= indexAt, qPrintable(QString("cut %1").arg(cut)));
            }
        }
    }

    // Hostile files never crash the repair; a repaired one has a sound index.
    void hostile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray random(4096, '\0');
        QRandomGenerator rng(42);
        for (char &c : random)
            c = char(rng.bounded(256));
        QTest::newRow("random bytes") << random;
        QByteArray randomMdat = random;
        randomMdat.replace(40, 8, QByteArray("\x00\x00\x00\x00mdat", 8));
        QTest::newRow("random after mdat") << randomMdat;

        RecordingFixture huge;
        huge.idr(100);
        huge.raw(QByteArray("\x00\xFF\xFF\xFF\x41\xE0\x00\x00", 8));
        QTest::newRow("length far past the end") << huge.data;

        RecordingFixture zero;
        zero.raw(QByteArray("\x00\x00\x00\x00\x41\xE0\x00\x00", 8));
        zero.raw(QByteArray("\x00\x00\x00\x00\x41\xE0\x00\x00", 8));
        QTest::newRow("zero-length samples") << zero.data;

        RecordingFixture audioOnly;
        for (int i = 0; i < 3; ++i)
            audioOnly.audio(600);
        QTest::newRow("audio frames too long to measure") << audioOnly.data;

        RecordingFixture markerBeforeRecord;
        markerBeforeRecord.idr(50);
        markerBeforeRecord.raw(QByteArray("\x21ZIRPM", 6));
        markerBeforeRecord.sensor(false);
        markerBeforeRecord.raw(QByteArray(600, 'x'));
        QTest::newRow("marker inside the audio frame") << markerBeforeRecord.data;

        QTest::newRow("shorter than the size field") << QByteArray(43, '\0');
        QTest::newRow("preamble only") << RecordingFixture().data;
        QTest::newRow("no media data box") << QByteArray(200, '\0');
        QByteArray bigSize = RecordingFixture().data;
        bigSize.replace(40, 4, QByteArray("\xFF\xFF\xFF\xF0", 4));
        QTest::newRow("size field past the end") << bigSize;
    }
    void hostile()
    {
        QFETCH(QByteArray, bytes);
        const QString file = path("hostile.mp4");
        RecordingFixture f;
        f.data = bytes;
        QVERIFY(f.save(file));
        const auto outcome = repairRecordingOutcome(file.toStdString(), kSideRear, 1);
        const QByteArray after = readAll(file);
        QVERIFY(after.size() >= bytes.size());
        QCOMPARE(after.left(40), bytes.left(40));
        if (outcome == RepairOutcome::Repaired) {
            const auto moov = indexOf(after);
            QVERIFY(!moov.empty());
            QVERIFY(sizesConsistent(boxesIn(moov)[0]));
            for (const TrackTables &t : trackTables(moov))
                QCOMPARE(sampleRanges(t).size(), t.stsz.size());
            QCOMPARE(repairRecordingOutcome(file.toStdString(), kSideRear, 1), RepairOutcome::Intact);
        } else {
            QCOMPARE(after, bytes);
        }
    }

    // The sensor records read back through the rebuilt index, also behind a preamble whose
    // boxes do not add up.
    void sensorTrackReadsBack_data()
    {
        QTest::addColumn<bool>("brokenPreamble");
        QTest::newRow("camera preamble") << false;
        QTest::newRow("preamble box sizes wrong") << true;
    }
    void sensorTrackReadsBack()
    {
        QFETCH(bool, brokenPreamble);
        RecordingFixture f;
        f.idr(100);
        const auto s1 = f.sensor();
        f.p(50);
        f.audio(30);
        const auto s2 = f.sensor();
        f.p(40);
        if (brokenPreamble)
            f.data.replace(0, 4, QByteArray("\x00\x00\x00\x61", 4));
        QVERIFY(f.save(path("sensors.mp4")));
        QVERIFY(repairRecording(path("sensors.mp4").toStdString(), kSideFront, 3));
        std::string error;
        const auto records = readSensorRecords(path("sensors.mp4").toStdString(), error);
        QVERIFY2(records, error.c_str());
        QCOMPARE(records->size(), std::size_t(2));
        QCOMPARE(records->at(0), f.data.mid(s1, kSensorSize));
        QCOMPARE(records->at(1), f.data.mid(s2, kSensorSize));
    }

    void readOnlyFileIsLeftAlone()
    {
        if (::geteuid() == 0)
            QSKIP("root opens read-only files for writing");
        RecordingFixture f;
        f.idr(100);
        QVERIFY(f.save(path("ro.mp4")));
        QVERIFY(QFile::setPermissions(path("ro.mp4"), QFile::ReadOwner));
        QCOMPARE(repairRecordingOutcome(path("ro.mp4").toStdString(), kSideFront, 3), RepairOutcome::CannotOpen);
        QCOMPARE(readAll(path("ro.mp4")), f.data);
    }

    void missingFile()
    {
        QCOMPARE(repairRecordingOutcome(path("none.mp4").toStdString(), kSideFront, 3), RepairOutcome::CannotOpen);
        QVERIFY(!QFile::exists(path("none.mp4")));
    }
};

QTEST_GUILESS_MAIN(TestContainerRepair)
#include "tst_containerrepair.moc"
