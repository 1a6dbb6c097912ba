// Decoding of the camera's sensor records into the sensor store.
#include "zobrtextdata.h"

#include <QTest>

#include <atomic>
#include <thread>

using namespace storage;

namespace {

const QByteArray kSentence = "G$GPRMC,201530,A,3731.1234,N,12658.5678,E,10.0,90.0,151023,,,";

QByteArray gpsRecord(const QByteArray &sentence = kSentence, const QByteArray &axes = "\x05\x85\xFF")
{
    return sentence + "ZIRPM" + axes + QByteArray(8, '\0');
}

QByteArray packed(int bits, std::uint16_t x, std::uint16_t y, std::uint16_t z)
{
    QByteArray r("S");
    r.append(char(bits));
    for (std::uint16_t v : {x, y, z}) {
        r.append(char(v & 0xFF));
        r.append(char(v >> 8));
    }
    return r;
}

} // namespace

class TestSensorRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rmcExample()
    {
        CZOBRTextData store;
        QCOMPARE(store.decodeSensorRecord(gpsRecord(), 2000), 0);
        const auto gps = store.gpsRecords();
        QCOMPARE(gps.size(), std::size_t(1));
        const CZOBRGPSData &g = gps[0];
        QCOMPARE(g.day, 15);
        QCOMPARE(g.month, 10);
        QCOMPARE(g.year, 23);
        QCOMPARE(g.hour, 29);
        QCOMPARE(g.minute, 15);
        QCOMPARE(g.second, 30);
        QCOMPARE(g.valid, 1);
        QCOMPARE(g.latitude, 3731.1234);
        QCOMPARE(g.longitude, 12658.5678);
        QCOMPARE(g.speedKmh, double(18.52f));
        QCOMPARE(g.course, 90.0);
        QCOMPARE(g.timeMs, 2000);
        QCOMPARE(store.gSamples(), (std::vector<GSensorSample>{{5, 123, 1, 0, 2000}}));
    }

    void hemispheresAndStatus_data()
    {
        QTest::addColumn<QByteArray>("sentence");
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<int>("valid");
        QTest::newRow("N E") << kSentence << 3731.1234 << 12658.5678 << 1;
        QTest::newRow("S W") << QByteArray("G$GPRMC,201530,A,3731.1234,S,12658.5678,W,10.0,90.0,151023,,,")
                             << -3731.1234 << -12658.5678 << 1;
        QTest::newRow("empty hemisphere fields count as S and W")
            << QByteArray("G$GPRMC,201530,A,3731.1234,,12658.5678,,10.0,90.0,151023,,,") << -3731.1234 << -12658.5678
            << 1;
        QTest::newRow("status V") << QByteArray("G$GPRMC,201530,V,3731.1234,N,12658.5678,E,10.0,90.0,151023,,,")
                                  << 3731.1234 << 12658.5678 << 0;
    }
    void hemispheresAndStatus()
    {
        QFETCH(QByteArray, sentence);
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(int, valid);
        CZOBRGPSData g;
        QVERIFY(parseRmc(sentence, 0, g));
        QCOMPARE(g.latitude, latitude);
        QCOMPARE(g.longitude, longitude);
        QCOMPARE(g.valid, valid);
        QCOMPARE(g.day, 15); // the other fields are filled whatever the status
        QCOMPARE(g.hour, 29);
    }

    // A sentence cut short keeps what it had and is still appended.
    void missingFields()
    {
        CZOBRGPSData g;
        QVERIFY(!parseRmc("G$GPRMC,201530,A,3731.1234,N", 7, g));
        QCOMPARE(g.hour, 29);
        QCOMPARE(g.latitude, 3731.1234);
        QCOMPARE(g.longitude, 0.0);
        QCOMPARE(g.timeMs, 7);
        CZOBRTextData store;
        QCOMPARE(store.decodeSensorRecord(QByteArray("G$GPRMC,201530,A\0ZIRPM\x01\x02\x03", 25), 0), 0);
        QCOMPARE(store.gpsRecordCount(), std::size_t(1));
        QCOMPARE(store.gSamples(), (std::vector<GSensorSample>{{1, 2, 3, 0, 0}}));
        // "GXYZ" records hold no sentence: a record of zeros with the time.
        QCOMPARE(store.decodeSensorRecord(QByteArray("GXYZ\0ZIRPM\x04\x05\x06", 13), 1000), 0);
        QCOMPARE(store.gpsRecords().back().valid, 0);
        QCOMPARE(store.gpsRecords().back().timeMs, 1000);
    }

    void axisDecoding_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("value");
        QTest::newRow("8-bit 0") << 0x00 << 8 << 0;
        QTest::newRow("8-bit 127") << 0x7F << 8 << 127;
        QTest::newRow("8-bit -128") << 0x80 << 8 << 128;
        QTest::newRow("8-bit -127") << 0x81 << 8 << 127;
        QTest::newRow("8-bit -1") << 0xFF << 8 << 1;
        QTest::newRow("8-bit uses the low byte") << 0x1205 << 8 << 5;
        QTest::newRow("10-bit 0x3FF") << 0x3FF << 10 << -511;
        QTest::newRow("10-bit 0") << 0x000 << 10 << 512;
        QTest::newRow("10-bit high bits ignored") << 0xFC00 << 10 << 512;
        QTest::newRow("10-bit 0x1FF") << 0x1FF << 10 << 1;
    }
    void axisDecoding()
    {
        QFETCH(int, raw);
        QFETCH(int, bits);
        QFETCH(int, value);
        CZOBRTextData store;
        const auto w = std::uint16_t(raw);
        QCOMPARE(store.decodeSensorRecord(packed(bits, w, w, w), 3000), 0);
        QCOMPARE(store.gSamples(), (std::vector<GSensorSample>{{value, value, value, bits == 8 ? 1 : 2, 3000}}));
    }

    void recordKinds_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("gps");
        QTest::addColumn<int>("samples");
        QTest::newRow("S with another width gives zeros") << packed(9, 1, 2, 3) << 0 << 0 << 1;
        QTest::newRow("G at byte 12") << QByteArray(12, '\x01') + gpsRecord() << 0 << 1 << 1;
        QTest::newRow("bare marker record") << QByteArray("ZIRPM\x05\x85\xFF", 8) << 0 << 0 << 1;
        QTest::newRow("unknown first byte") << QByteArray("X$GPRMC,201530,A") << -1 << 0 << 0;
        QTest::newRow("empty") << QByteArray() << -1 << 0 << 0;
        QTest::newRow("G without marker") << kSentence << 0 << 1 << 0;
        QTest::newRow("marker at the end, axes missing") << kSentence + "ZIRPM" << 0 << 1 << 1;
    }
    void recordKinds()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, result);
        QFETCH(int, gps);
        QFETCH(int, samples);
        CZOBRTextData store;
        QCOMPARE(store.decodeSensorRecord(record, 1000), result);
        QCOMPARE(int(store.gpsRecordCount()), gps);
        QCOMPARE(int(store.gSampleCount()), samples);
    }

    void packedSampleOfZeros()
    {
        CZOBRTextData store;
        store.decodeSensorRecord(packed(9, 1, 2, 3), 5000);
        QCOMPARE(store.gSamples(), (std::vector<GSensorSample>{{0, 0, 0, 0, 0}}));
        store.clearSensorLists();
        store.decodeSensorRecord(QByteArray(12, '\x01') + gpsRecord(), 4000);
        QCOMPARE(store.gSamples(), (std::vector<GSensorSample>{{5, 123, 1, 0, 4000}}));
        QCOMPARE(store.gpsRecords()[0].hour, 29);
    }

    // Only packed samples are kept from 60 s on.
    void sixtySeconds_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("timeMs");
        QTest::addColumn<int>("entries");
        QTest::newRow("G at 59999 ms") << gpsRecord() << 59999 << 2;
        QTest::newRow("G at 60000 ms") << gpsRecord() << 60000 << 0;
        QTest::newRow("G at byte 12 at 60000 ms") << QByteArray(12, '\x01') + gpsRecord() << 60000 << 0;
        QTest::newRow("S at 60000 ms") << packed(8, 1, 2, 3) << 60000 << 1;
        QTest::newRow("S at 10 min") << packed(10, 1, 2, 3) << 600000 << 1;
    }
    void sixtySeconds()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, timeMs);
        QFETCH(int, entries);
        CZOBRTextData store;
        QCOMPARE(store.decodeSensorRecord(record, timeMs), 0);
        QCOMPARE(int(store.gpsRecordCount() + store.gSampleCount()), entries);
    }

    // Records without a zero byte, longer than the 1024 bytes the camera writes.
    void unterminatedRecords_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("samples");
        QTest::newRow("1024 bytes, no zero") << kSentence + QByteArray(1024 - kSentence.size(), 'A') << 0;
        QTest::newRow("4000 bytes, no zero") << kSentence + QByteArray(4000, ',') << 0;
        QTest::newRow("marker at 253, axes at the limit")
            << kSentence + QByteArray(253 - 2 - kSentence.size(), 'A') + "ZIRPM\x01\x02\x03" << 1;
        QTest::newRow("marker past the searched bytes") << kSentence + QByteArray(300, 'A') + "ZIRPM\x01\x02\x03" << 0;
    }
    void unterminatedRecords()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, samples);
        CZOBRTextData store;
        QCOMPARE(store.decodeSensorRecord(record, 0), 0);
        QCOMPARE(store.gpsRecords().at(0).latitude, 3731.1234);
        QCOMPARE(int(store.gSampleCount()), samples);
    }

    void degrees()
    {
        QCOMPARE(nmeaToDegrees(3731.1234), 37 + 31.1234 / 60);
        QCOMPARE(nmeaToDegrees(-12658.5678), -(126 + 58.5678 / 60));
    }

    // The worker appends while the user-interface thread reads and clears.
    void readersBesideAWriter()
    {
        CZOBRTextData store;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            for (int i = 0; i < 5000; ++i)
                store.decodeSensorRecord(gpsRecord(), (i % 60) * 1000);
            done = true;
        });
        std::size_t seen = 0;
        while (!done) {
            const auto samples = store.gSamples();
            for (const GSensorSample &s : samples)
                QCOMPARE(s.x, 5);
            store.visitGpsRecords([&](const std::vector<CZOBRGPSData> &list) { seen = std::max(seen, list.size()); });
            if (seen > 1000)
                store.clearSensorLists();
        }
        worker.join();
        QVERIFY(store.gpsRecordCount() <= 5000);
        QCOMPARE(store.gpsRecordCount(), store.gSampleCount());
    }
};

QTEST_GUILESS_MAIN(TestSensorRecords)
#include "tst_sensorrecords.moc"
