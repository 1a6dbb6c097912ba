// The slice rewrite: x264's stream and the camera's form of it decode to the same pixels.
#include "gstplay.h"
#include "h264rewrite.h"
#include "recordingindex.h"
#include "videoencoder.h"

#include <QTest>

using namespace camsim;

namespace {

QByteArray annexB(std::initializer_list<std::span<const std::uint8_t>> nals)
{
    QByteArray out;
    for (const auto &n : nals) {
        out.append(QByteArray("\x00\x00\x00\x01", 4));
        out.append(reinterpret_cast<const char *>(n.data()), qsizetype(n.size()));
    }
    return out;
}

} // namespace

class TestH264Rewrite : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emulationPrevention_data()
    {
        QTest::addColumn<QByteArray>("rbsp");
        QTest::addColumn<QByteArray>("nal");
        QTest::newRow("plain") << QByteArray::fromHex("0102030405") << QByteArray::fromHex("0102030405");
        QTest::newRow("00 00 00") << QByteArray::fromHex("11000000") << QByteArray::fromHex("110000030003");
        QTest::newRow("00 00 01") << QByteArray::fromHex("000001") << QByteArray::fromHex("00000301");
        QTest::newRow("00 00 03") << QByteArray::fromHex("00000304") << QByteArray::fromHex("0000030304");
        QTest::newRow("00 00 04 needs none") << QByteArray::fromHex("000004") << QByteArray::fromHex("000004");
        QTest::newRow("ends in zero") << QByteArray::fromHex("80000000") << QByteArray::fromHex("800000030003");
        QTest::newRow("runs of zeros") << QByteArray::fromHex("0000000000") << QByteArray::fromHex("0000030000030003");
    }
    void emulationPrevention()
    {
        QFETCH(QByteArray, rbsp);
        QFETCH(QByteArray, nal);
        const auto in = std::span(reinterpret_cast<const std::uint8_t *>(rbsp.constData()), std::size_t(rbsp.size()));
        const Bytes escaped = rbspToNal(in);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(escaped.data()), qsizetype(escaped.size())), nal);
        const Bytes back = nalToRbsp(escaped);
        // The byte added after a final zero is dropped again, the zero kept.
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(back.data()), qsizetype(back.size())).left(rbsp.size()),
                 rbsp);
    }

    void cameraSpsDescribesThePicture_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("widthMbs");
        QTest::addColumn<int>("heightMbs");
        QTest::newRow("1920 x 1080") << 1920 << 120 << 68;
        QTest::newRow("1280 x 720") << 1280 << 80 << 45;
        QTest::newRow("720 x 480") << 720 << 45 << 30;
    }
    void cameraSpsDescribesThePicture()
    {
        QFETCH(int, width);
        QFETCH(int, widthMbs);
        QFETCH(int, heightMbs);
        const auto sps = parseSps(storage::cameraSps({width, 0}));
        QVERIFY(sps);
        QCOMPARE(sps->widthMbs, widthMbs);
        QCOMPARE(sps->heightMbs, heightMbs);
        QCOMPARE(sps->log2MaxFrameNum, kCameraSpsInfo.log2MaxFrameNum);
        QCOMPARE(sps->pocType, kCameraSpsInfo.pocType);
        QCOMPARE(sps->log2MaxPocLsb, kCameraSpsInfo.log2MaxPocLsb);
        QVERIFY(sps->frameMbsOnly);
    }

    void samePixels_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("keyint");
        QTest::newRow("720 x 480, IDR every 4") << 720 << 480 << 4;
        QTest::newRow("1280 x 720, IDR every 30") << 1280 << 720 << 30;
        QTest::newRow("1920 x 1080 (cropped rows), IDR every 5") << 1920 << 1080 << 5;
    }
    void samePixels()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, keyint);
        VideoEncoder encoder;
        VideoSettings s;
        s.width = width;
        s.height = height;
        s.keyint = keyint;
        s.bitrateKbps = 1500;
        QVERIFY2(encoder.open(s), encoder.error().c_str());

        std::vector<QByteArray> original, camera;
        const auto sps = storage::cameraSps({width, height});
        const auto pps = storage::cameraPps();
        Picture pic(width, height);
        SceneParams scene;
        scene.label = "FRONT NOR";
        scene.speedKmh = 60;
        const int frames = 12;
        for (int k = 0; k < frames; ++k) {
            drawScene(pic, scene, k * 1000.0 / 30, "2023-10-15 14:25:30." + std::to_string(100 + k));
            Bytes slice;
            std::vector<Bytes> nals;
            QVERIFY2(encoder.encode(pic, slice, &nals), encoder.error().c_str());
            const bool idr = k % keyint == 0;
            if (idr)
                QCOMPARE(QByteArray(reinterpret_cast<const char *>(slice.data()), 3), QByteArray("\x65\xB8\x00", 3));
            else
                QCOMPARE(QByteArray(reinterpret_cast<const char *>(slice.data()), 2), QByteArray("\x41\xE0", 2));
            QByteArray au;
            for (const Bytes &n : nals)
                au += annexB({n});
            original.push_back(au);
            camera.push_back(idr ? annexB({sps, pps, slice}) : annexB({slice}));
        }
        QString error;
        const auto a = testsupport::decodeH264(original, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const auto b = testsupport::decodeH264(camera, &error);
        QCOMPARE(int(a.size()), frames);
        QCOMPARE(int(b.size()), frames);
        for (int k = 0; k < frames; ++k) {
            QCOMPARE(a[std::size_t(k)].size(), qsizetype(width * height * 3 / 2));
            QVERIFY2(a[std::size_t(k)] == b[std::size_t(k)], qPrintable(QString("frame %1 differs").arg(k)));
        }
    }
};

QTEST_GUILESS_MAIN(TestH264Rewrite)
#include "tst_h264rewrite.moc"
