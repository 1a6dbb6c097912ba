// The stream parser: which channel files load, and the sensor records it hands out.
#include "avitextstream.h"
#include "filterprobe.h"
#include "recordingset.h"
#include "sensortrack.h"
#include "streamparser.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace playback;
using namespace testsupport;

namespace {

// AVI pieces: chunks are a four-character id, a little-endian size, the data, a pad byte.
QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}
QByteArray chunk(const char *id, const QByteArray &data)
{
    QByteArray c = QByteArray(id, 4) + le32(quint32(data.size())) + data;
    if (data.size() % 2)
        c += '\0';
    return c;
}
QByteArray list(const char *type, const QByteArray &body)
{
    return chunk("LIST", QByteArray(type, 4) + body);
}
QByteArray streamList(const char *fccType)
{
    return list("strl", chunk("strh", QByteArray(fccType, 4) + QByteArray(52, '\0')));
}
// An AVI with a video stream (00) and a text stream (01) whose chunks hold the records.
QByteArray aviWithText(const QList<QByteArray> &records, bool inRecList = false)
{
    const QByteArray hdrl = list("hdrl", chunk("avih", QByteArray(56, '\0')) + streamList("vids") + streamList("txts"));
    QByteArray movi;
    for (const QByteArray &r : records) {
        const QByteArray pair = chunk("00dc", QByteArray(10, 'v')) + chunk("01tx", r);
        movi += inRecList ? list("rec ", pair) : pair;
    }
    return chunk("RIFF", QByteArray("AVI ") + hdrl + list("movi", movi));
}

} // namespace

class TestStreamParser : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_front, m_rear, m_silent, m_noSensor, m_powerCut;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_front = writeChannel(m_dir.path(), "F.mp4", 0, 2.0);
        m_rear = writeChannel(m_dir.path(), "R1.mp4", 1, 2.0, 720);
        m_powerCut = writeChannel(m_dir.path(), "cut_R1.mp4", 1, 2.0, 480, camsim::Ending::PowerCut);
        camsim::RecordingOptions o;
        o.side = 2;
        o.channel = 1;
        o.seconds = 2.0;
        o.start = recordingStart();
        o.audio = false;
        o.sensor = false;
        std::string error;
        m_silent = m_dir.filePath("silent_R1.mp4");
        QVERIFY(camsim::writeRecording(m_silent.toStdString(), o, nullptr, error));
        QVERIFY(!m_front.isEmpty() && !m_rear.isEmpty() && !m_powerCut.isEmpty());
    }

    void load_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("result");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("audio");

        QTest::newRow("front") << "front" << S_OK << QSize(1920, 1080) << int(AudioKind::Aac);
        QTest::newRow("rear 720") << "rear" << S_OK << QSize(1280, 720) << int(AudioKind::Aac);
        QTest::newRow("rear without sound") << "silent" << S_OK << QSize(720, 480) << int(AudioKind::None);
        QTest::newRow("AVI") << "avi" << S_OK << QSize(1920, 1080) << int(AudioKind::Aac);
        QTest::newRow("AVI with PCM sound") << "avipcm" << S_OK << QSize(1920, 1080) << int(AudioKind::Pcm);
        QTest::newRow("power cut, no index") << "powercut" << VFW_E_INVALID_FILE_FORMAT << QSize() << 0;
        QTest::newRow("index cut off") << "truncated" << VFW_E_INVALID_FILE_FORMAT << QSize() << 0;
        QTest::newRow("garbage after ftyp") << "garbage" << VFW_E_INVALID_FILE_FORMAT << QSize() << 0;
        QTest::newRow("empty file") << "empty" << VFW_E_INVALID_FILE_FORMAT << QSize() << 0;
        QTest::newRow("AVI without video") << "novideo" << VFW_E_INVALID_FILE_FORMAT << QSize() << 0;
        QTest::newRow("missing file") << "missing" << VFW_E_INVALID_FILE_FORMAT << QSize() << 0;
        QTest::newRow("no path") << "" << VFW_E_INVALID_FILE_FORMAT << QSize() << 0;
    }

    void load()
    {
        QFETCH(QString, file);
        QFETCH(int, result);
        QFETCH(QSize, picture);
        QFETCH(int, audio);
        QByteArray garbage(100000, 'x');
        garbage.replace(4, 4, "ftyp");
        const QHash<QString, QString> paths{
            {"front", m_front},
            {"rear", m_rear},
            {"silent", m_silent},
            {"powercut", m_powerCut},
            {"truncated", writeTruncated(m_dir.path(), "t.mp4", m_rear, 0.5)},
            {"garbage", writeBytes(m_dir.path(), "g.mp4", garbage)},
            {"empty", writeBytes(m_dir.path(), "e.mp4", {})},
            {"avi", remuxToAvi(m_front, m_dir.filePath("F.avi"))},
            {"avipcm", remuxToAvi(m_front, m_dir.filePath("pcm.avi"), true)},
            {"novideo", writeBytes(m_dir.path(), "a.avi", aviWithText({"S record"}))},
            {"missing", m_dir.filePath("nothing.mp4")},
            {"", ""},
        };
        StreamParser parser;
        QCOMPARE(parser.Load(paths[file].toStdString()), result);
        QCOMPARE(parser.loaded(), result == S_OK);
        if (result != S_OK) {
            QVERIFY(!parser.error().empty());
            return;
        }
        QCOMPARE(QSize(parser.info().width, parser.info().height), picture);
        QCOMPARE(int(parser.info().audio), audio);
        QVERIFY(qAbs(parser.info().durationNs - 2000000000) < 150000000); // ns; AVI counts whole frames
        QCOMPARE(int(parser.info().container), file.startsWith("avi") ? int(Container::Avi) : int(Container::Mp4));
    }

    void sniff_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("container");
        QTest::newRow("ftyp") << QByteArray("\0\0\0\x18" "ftypisom", 12) << int(Container::Mp4);
        QTest::newRow("camera media data at 40") << QByteArray(44, '\0') + "mdat" << int(Container::Mp4);
        QTest::newRow("avi") << QByteArray("RIFF\0\0\0\0AVI ", 12) << int(Container::Avi);
        QTest::newRow("wave") << QByteArray("RIFF\0\0\0\0WAVE", 12) << int(Container::None);
        QTest::newRow("short") << QByteArray("RIF") << int(Container::None);
        QTest::newRow("empty") << QByteArray() << int(Container::None);
    }

    void sniff()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, container);
        QCOMPARE(int(sniffContainer(head)), container);
    }

    // One record per call in track order, then the end; the same bytes the index lists.
    void mp4SensorRecords()
    {
        StreamParser parser;
        QCOMPARE(parser.Load(m_front.toStdString()), S_OK);
        std::string error;
        const auto expected = storage::readSensorRecords(m_front.toStdString(), error);
        QVERIFY(expected && expected->size() >= 2);

        char buffer[kSensorRecordBufferSize];
        int count = 4, index = -1;
        QCOMPARE(parser.ReadSensorRecord(buffer, &count, &index), E_INVALIDARG); // too small: not consumed
        for (std::size_t i = 0; i < expected->size(); ++i) {
            count = sizeof buffer;
            QCOMPARE(parser.ReadSensorRecord(buffer, &count, &index), S_OK);
            QCOMPARE(index, int(i));
            QCOMPARE(QByteArray(buffer, count), (*expected)[i]);
        }
        count = sizeof buffer;
        QCOMPARE(parser.ReadSensorRecord(buffer, &count, &index), VFW_E_NOT_FOUND);
        QCOMPARE(parser.ReadSensorRecord(nullptr, &count, &index), E_POINTER);
    }

    void noSensorTrack()
    {
        StreamParser parser;
        QCOMPARE(parser.Load(m_silent.toStdString()), S_OK);
        char buffer[kSensorRecordBufferSize];
        int count = sizeof buffer, index = 0;
        QCOMPARE(parser.ReadSensorRecord(buffer, &count, &index), VFW_E_NOT_FOUND);
    }

    void aviTextRecords_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<QByteArray>>("records"); // empty list with ok false: nothing
        QTest::addColumn<bool>("ok");

        const QList<QByteArray> three{"S first", "G\x01\x02 odd", QByteArray(1500, 'x')};
        const QList<QByteArray> cut{"S first", "G\x01\x02 odd", QByteArray(1024, 'x')};
        QTest::newRow("records in order, long one cut") << aviWithText(three) << cut << true;
        QTest::newRow("inside rec lists") << aviWithText(three, true) << cut << true;
        QTest::newRow("no records") << aviWithText({}) << QList<QByteArray>{} << true;

        QByteArray noText = aviWithText({"S"});
        noText.replace(noText.indexOf("txts"), 4, "auds");
        QTest::newRow("no text stream") << noText << QList<QByteArray>{} << false;
        QTest::newRow("not RIFF") << QByteArray("RIFX\0\0\0\0AVI ", 12) << QList<QByteArray>{} << false;

        // A record's size runs past the end: the records before it still come out.
        QByteArray overrun = aviWithText({"S one", "S two"});
        const int second = overrun.lastIndexOf("01tx");
        overrun.replace(second + 4, 4, le32(0x7FFFFFF0));
        QTest::newRow("size past the end") << overrun << QList<QByteArray>{"S one"} << true;
        QByteArray riffOverrun = aviWithText({"S one"});
        riffOverrun.replace(4, 4, le32(0xFFFFFFFF));
        QTest::newRow("RIFF size past the end") << riffOverrun << QList<QByteArray>{} << false;
        QTest::newRow("truncated header") << aviWithText({"S one"}).left(30) << QList<QByteArray>{} << false;

        // Lists inside "rec " lists are not followed.
        QByteArray nested = chunk("RIFF", QByteArray("AVI ") + list("hdrl", streamList("txts"))
                                              + list("movi", list("rec ", list("rec ", chunk("00tx", "S deep")))
                                                                 + chunk("00tx", "S top")));
        QTest::newRow("nested rec lists") << nested << QList<QByteArray>{"S top"} << true;
    }

    void aviTextRecords()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<QByteArray>, records);
        QFETCH(bool, ok);
        QBuffer device(&file);
        QVERIFY(device.open(QIODevice::ReadOnly));
        std::string error;
        const auto got = readAviTextRecords(device, error);
        QCOMPARE(got.has_value(), ok);
        if (!ok) {
            QVERIFY(!error.empty());
            return;
        }
        QCOMPARE(QList<QByteArray>(got->begin(), got->end()), records);
    }

    // The first group with a missing element names the code; only the sound decoder may miss.
    void filterProbe_data()
    {
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("canPlay");
        QTest::newRow("all there") << QStringList{} << int(FiltersPresent) << true;
        QTest::newRow("no demuxer") << QStringList{"qtdemux"} << int(MissingStreamParser) << false;
        QTest::newRow("no decoder") << QStringList{"avdec_h264"} << int(MissingVideoDecoder) << false;
        QTest::newRow("no AAC decoder") << QStringList{"avdec_aac"} << int(MissingAudioDecoder) << true;
        QTest::newRow("no picture settings") << QStringList{"videobalance"} << int(MissingPictureFilter) << false;
        QTest::newRow("sound and parser: the parser decides")
            << QStringList{"avdec_aac", "h264parse"} << int(MissingStreamParser) << false;
    }

    void filterProbe()
    {
        QFETCH(QStringList, missing);
        QFETCH(int, code);
        QFETCH(bool, canPlay);
        const FilterProbeResult probe = ProbeFilters([&](const char *name) { return !missing.contains(name); });
        QCOMPARE(probe.code, code);
        QStringList named;
        for (const std::string &m : probe.missing)
            named << QString::fromStdString(m);
        named.sort();
        missing.sort();
        QCOMPARE(named, missing);
        QCOMPARE(EnsureFilters(probe), canPlay);
    }

    void filtersPresent()
    {
        const FilterProbeResult probe = ProbeFilters();
        QVERIFY2(probe.missing.empty(), probe.missing.empty() ? "" : probe.missing.front().c_str());
        QCOMPARE(probe.code, int(FiltersPresent));
        QVERIFY(EnsureFilters());
    }
};

QTEST_GUILESS_MAIN(TestStreamParser)
#include "tst_streamparser.moc"
