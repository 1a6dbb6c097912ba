// The export copy: maker blocks blanked across block boundaries, finished recordings kept
// byte for byte, unfinished ones given an index and corrected headers.
#include "avicopy.h"
#include "exportpaths.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QtEndian>

namespace {

void putU32(QByteArray &b, uint32_t v)
{
    char le[4];
    qToLittleEndian(v, le);
    b.append(le, 4);
}

uint32_t u32At(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<uint32_t>(b.constData() + at);
}

QByteArray chunk(const char *id, const QByteArray &payload)
{
    QByteArray c(id, 4);
    putU32(c, uint32_t(payload.size()));
    c += payload;
    if (payload.size() & 1)
        c += '\0';
    return c;
}

// A 56-byte stream header of the given type with its rate.
QByteArray streamHeader(const char *type, uint32_t rate)
{
    QByteArray strh(type, 4);
    strh += QByteArray(20, '\0');
    putU32(strh, rate);       // +24 rate
    putU32(strh, 0);          // +28 start
    putU32(strh, 0xDEAD);     // +32 length (stale)
    putU32(strh, 0xBEEF);     // +36 suggested buffer size (stale)
    strh += QByteArray(56 - strh.size(), '\0');
    return chunk("strh", strh);
}

QByteArray list(const char *type, const QByteArray &body)
{
    QByteArray l("LIST", 4);
    putU32(l, uint32_t(body.size() + 4));
    return l + QByteArray(type, 4) + body;
}

struct Recording {
    QByteArray bytes;
    qsizetype v0 = -1, v1 = -1, aud = -1, txt = -1, moviSize = -1;
};

QByteArray keyFrame() { return QByteArray("\x00\x00\x00\x01\x67\x64\x00\x28\x00\x00\x00\x01\x68\xEE\x00\x00\x00\x01\x65\xB8", 20); }
QByteArray pFrame() { return QByteArray("\x00\x00\x00\x01\x41\xE0\x11\x22\x33", 9); }

// A camera AVI with two video streams, sound and text; the movi list holds `movi`.
// Finished: true sizes and an index; unfinished: RIFF size 0 and no index.
Recording makeAvi(const QByteArray &movi, bool finished, uint32_t r0 = 30000, uint32_t r1 = 15000, uint32_t rt = 1000)
{
    QByteArray avih(56, '\0');
    qToLittleEndian(uint32_t(777), avih.data() + 16); // total frames (stale)
    const QByteArray hdrl = list("hdrl", chunk("avih", avih) + list("strl", streamHeader("vids", r0)) +
                                            list("strl", streamHeader("vids", r1)) +
                                            list("strl", streamHeader("auds", 16000)) +
                                            list("strl", streamHeader("txts", rt)));
    QByteArray moviList = list("movi", movi);
    if (!finished)
        qToLittleEndian(uint32_t(0), moviList.data() + 4);
    QByteArray body = QByteArray("AVI ", 4) + hdrl + moviList;
    if (finished)
        body += chunk("idx1", QByteArray(16, '\x01'));
    Recording r;
    r.bytes = QByteArray("RIFF", 4);
    putU32(r.bytes, finished ? uint32_t(body.size()) : 0);
    r.bytes += body;
    r.v0 = r.bytes.indexOf("vids");
    r.v1 = r.bytes.indexOf("vids", r.v0 + 1);
    r.aud = r.bytes.indexOf("auds");
    r.txt = r.bytes.indexOf("txts");
    r.moviSize = r.bytes.indexOf("movi") - 4;
    return r;
}

// Delivers `data` in blocks of the given sizes (the last size repeats).
AviBlockReader reader(const QByteArray &data, QList<int> sizes)
{
    return [data, sizes, at = qsizetype(0), n = qsizetype(0)](uint8_t *buffer, int capacity) mutable {
        const int want = std::min<int>(capacity, sizes[std::min<qsizetype>(n++, sizes.size() - 1)]);
        const int got = int(std::min<qsizetype>(want, data.size() - at));
        std::memcpy(buffer, data.constData() + at, size_t(std::max(got, 0)));
        at += std::max(got, 0);
        return got;
    };
}

QByteArray exportBytes(const QByteArray &input, QList<int> blocks, AviCopySummary *summary = nullptr)
{
    QTemporaryFile out;
    if (!out.open())
        qFatal("no temporary file");
    if (!AviCopy::copy(reader(input, blocks), out, summary))
        return "copy failed";
    out.seek(0);
    return out.readAll();
}

// A movi body: key frame, P frame, sound, text, a P frame with a maker block in it.
QByteArray typicalMovi()
{
    QByteArray makerBlock("LBMS\x04\x00", 6);
    makerBlock += "abcdefgh"; // the span is 4 + 8 = 12 bytes from the code on
    return chunk("00dc", keyFrame()) + chunk("01dc", keyFrame()) + chunk("02wb", QByteArray(101, 'a')) +
           chunk("03tx", QByteArray("G$GPRMC,sample", 14)) + chunk("00dc", pFrame() + makerBlock) +
           chunk("01dc", QByteArray(60, '\x07'));
}

} // namespace

class TestAviCopy : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void finishedRecordingCopiedAsIs()
    {
        const Recording rec = makeAvi(typicalMovi(), true);
        AviCopySummary summary;
        const QByteArray out = exportBytes(rec.bytes, {AviCopy::kBlockBytes}, &summary);
        QVERIFY(summary.finalized);
        QVERIFY(!summary.repaired);
        QCOMPARE(out.size(), rec.bytes.size());
        QByteArray expected = rec.bytes;
        const qsizetype lbms = expected.indexOf("LBMS");
        expected.replace(lbms, 12, QByteArray(12, 'M'));
        QCOMPARE(out, expected);
    }

    // However the reads fall, the result is the one of a single read.
    void blockBoundariesDoNotMatter_data()
    {
        QTest::addColumn<QList<int>>("blocks");
        QTest::addColumn<bool>("finished");
        for (bool finished : {true, false}) {
            const char *kind = finished ? "finished" : "unfinished";
            QTest::addRow("%s, 1 byte", kind) << QList<int>{1} << finished;
            QTest::addRow("%s, 3 bytes", kind) << QList<int>{3} << finished;
            QTest::addRow("%s, 7 bytes", kind) << QList<int>{7} << finished;
            QTest::addRow("%s, 64 bytes", kind) << QList<int>{64} << finished;
        }
    }
    void blockBoundariesDoNotMatter()
    {
        QFETCH(QList<int>, blocks);
        QFETCH(bool, finished);
        const Recording rec = makeAvi(typicalMovi(), finished);
        AviCopySummary whole, pieces;
        const QByteArray expected = exportBytes(rec.bytes, {AviCopy::kBlockBytes}, &whole);
        QCOMPARE(exportBytes(rec.bytes, blocks, &pieces), expected);
        QCOMPARE(pieces.index.size(), whole.index.size());
        QVERIFY(!expected.contains("LBMS"));
    }

    // Every cut point through the maker block's code, length and span.
    void makerBlockAcrossEveryCut()
    {
        const Recording rec = makeAvi(typicalMovi(), true);
        const qsizetype lbms = rec.bytes.indexOf("LBMS");
        const QByteArray expected = exportBytes(rec.bytes, {AviCopy::kBlockBytes});
        for (int cut = int(lbms) - 2; cut <= int(lbms) + 14; ++cut)
            QVERIFY2(exportBytes(rec.bytes, {cut, AviCopy::kBlockBytes}) == expected, qPrintable(QString::number(cut)));
        // A long span of "LBDJ" across three blocks.
        QByteArray movi = chunk("03tx", QByteArray("LBDJ\x00\x01", 6) + QByteArray(300, 'x'));
        const Recording dj = makeAvi(movi, true);
        const QByteArray out = exportBytes(dj.bytes, {int(dj.bytes.indexOf("LBDJ")) + 2, 100, 100, 1000});
        QCOMPARE(out.mid(dj.bytes.indexOf("LBDJ"), 256 + 8), QByteArray(264, 'D'));
    }

    void unfinishedRecordingRepaired()
    {
        const Recording rec = makeAvi(typicalMovi(), false);
        AviCopySummary summary;
        const QByteArray out = exportBytes(rec.bytes, {AviCopy::kBlockBytes}, &summary);
        QVERIFY(!summary.finalized);
        QVERIFY(summary.repaired);

        // The index: one entry per chunk with its flags, offset from "movi" and size.
        const qsizetype idx = rec.bytes.size();
        QCOMPARE(out.mid(idx, 4), QByteArray("idx1"));
        QCOMPARE(u32At(out, idx + 4), 6u * 16);
        QCOMPARE(out.size(), idx + 8 + 6 * 16);
        const struct {
            const char *id;
            uint32_t flags, offset, size;
        } entries[] = {{"00dc", 0x10, 4, 20},   {"01dc", 0x10, 32, 20},  {"02wb", 0x10, 60, 101},
                       {"03tx", 0x10, 170, 14}, {"00dc", 0, 192, 23},    {"01dc", 0x10, 224, 60}};
        for (int i = 0; i < 6; ++i) {
            const qsizetype e = idx + 8 + 16 * i;
            QCOMPARE(out.mid(e, 4), QByteArray(entries[i].id));
            QCOMPARE(u32At(out, e + 4), entries[i].flags);
            QCOMPARE(u32At(out, e + 8), entries[i].offset);
            QCOMPARE(u32At(out, e + 12), entries[i].size);
            // The offsets point at the chunks.
            QCOMPARE(out.mid(rec.bytes.indexOf("movi") + entries[i].offset, 4), QByteArray(entries[i].id));
        }
        QCOMPARE(u32At(out, 4), uint32_t(out.size() - 8));
        QCOMPARE(u32At(out, 48), 4u); // video chunks of both streams
        QCOMPARE(u32At(out, rec.moviSize), 4u + 28 + 28 + 110 + 22 + 32 + 68);
        // Lengths and suggested buffer sizes: video 0, video 1, audio (bytes / 2), text.
        QCOMPARE(u32At(out, rec.v0 + 32), 2u);
        QCOMPARE(u32At(out, rec.v0 + 36), 23u);
        QCOMPARE(u32At(out, rec.v1 + 32), 2u);
        QCOMPARE(u32At(out, rec.v1 + 36), 60u);
        QCOMPARE(u32At(out, rec.aud + 32), 50u);
        QCOMPARE(u32At(out, rec.aud + 36), 101u);
        QCOMPARE(u32At(out, rec.txt + 32), 1u);
        QCOMPARE(u32At(out, rec.txt + 36), 14u);
    }

    // A power loss inside the last chunk: that chunk is left out, and the index follows the
    // last whole chunk, where a player looks for it.
    void cutInsideLastChunk_data()
    {
        QTest::addColumn<int>("keep"); // bytes of the last chunk that reached the card
        QTest::addColumn<int>("dropped");
        QTest::newRow("part of its id") << 2 << 2;
        QTest::newRow("id and part of its size") << 6 << 6;
        QTest::newRow("header only") << 8 << 8;
        QTest::newRow("part of its payload") << 50 << 50;
        QTest::newRow("all but its pad byte") << 8 + 99 << 0;
    }
    void cutInsideLastChunk()
    {
        QFETCH(int, keep);
        QFETCH(int, dropped);
        const Recording whole = makeAvi(typicalMovi() + chunk("01dc", QByteArray(99, '\x05')), false);
        const QByteArray input = whole.bytes.left(whole.bytes.size() - 108 + keep);
        AviCopySummary summary;
        const QByteArray out = exportBytes(input, {AviCopy::kBlockBytes}, &summary);
        QCOMPARE(summary.droppedTail, uint64_t(dropped));
        const qsizetype lastWholeEnd = whole.bytes.size() - (keep == 8 + 99 ? 0 : 108);
        const int entries = keep == 8 + 99 ? 7 : 6;
        QCOMPARE(out.mid(lastWholeEnd, 4), QByteArray("idx1"));
        QCOMPARE(u32At(out, lastWholeEnd + 4), uint32_t(16 * entries));
        QCOMPARE(out.size(), lastWholeEnd + 8 + 16 * entries);
        QCOMPARE(u32At(out, 4), uint32_t(out.size() - 8));
        QCOMPARE(qsizetype(u32At(out, whole.moviSize)), lastWholeEnd - whole.moviSize - 4);
    }

    void keyFrameFlags_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<uint>("flags");
        QTest::newRow("IDR after SPS and PPS") << keyFrame() << 0x10u;
        QTest::newRow("P slice") << pFrame() << 0u;
        QTest::newRow("P start at position 47") << QByteArray(47, '\x09') + QByteArray("\x00\x00\x01\x41", 4) << 0u;
        QTest::newRow("P start past position 47") << QByteArray(48, '\x09') + QByteArray("\x00\x00\x01\x41", 4)
                                                  << 0x10u;
        QTest::newRow("neither") << QByteArray(10, '\x05') << 0x10u;
        QTest::newRow("empty") << QByteArray() << 0x10u;
        QTest::newRow("first start code wins") << QByteArray("\x00\x00\x01\x65\x00\x00\x01\x41", 8) << 0x10u;
    }
    void keyFrameFlags()
    {
        QFETCH(QByteArray, payload);
        QFETCH(uint, flags);
        AviCopySummary summary;
        exportBytes(makeAvi(chunk("00dc", payload), false).bytes, {AviCopy::kBlockBytes}, &summary);
        QCOMPARE(int(summary.index.size()), 1);
        QCOMPARE(summary.index.front().flags, uint32_t(flags));
    }

    void rateCorrection_data()
    {
        QTest::addColumn<int>("c0");
        QTest::addColumn<int>("c1");
        QTest::addColumn<int>("ct");
        QTest::addColumn<QList<uint>>("rates"); // text, video 0, video 1 afterwards
        QTest::newRow("counts as expected") << 60 << 30 << 2 << QList<uint>{1000, 30000, 15000};
        // T = 88 / 45 = 1; e0 = 30, e1 = 15, d = 21: e0 = 51, e1 = 36; et = 1.
        QTest::newRow("short recording") << 58 << 30 << 3 << QList<uint>{3000, 30000 + 7 * 33, 15000 - 6 * 66};
    }
    void rateCorrection()
    {
        QFETCH(int, c0);
        QFETCH(int, c1);
        QFETCH(int, ct);
        QFETCH(QList<uint>, rates);
        QByteArray movi;
        for (int i = 0; i < c0; ++i)
            movi += chunk("00dc", pFrame());
        for (int i = 0; i < c1; ++i)
            movi += chunk("01dc", pFrame());
        for (int i = 0; i < ct; ++i)
            movi += chunk("03tx", "G");
        const Recording rec = makeAvi(movi, false, 30000, 15000, 1000);
        const QByteArray out = exportBytes(rec.bytes, {AviCopy::kBlockBytes});
        QCOMPARE((QList<uint>{u32At(out, rec.txt + 24), u32At(out, rec.v0 + 24), u32At(out, rec.v1 + 24)}), rates);
    }

    void longRecordingIndexGrows()
    {
        QByteArray movi;
        for (int i = 0; i < 9000; ++i)
            movi += chunk("03tx", "G");
        AviCopySummary summary;
        const QByteArray out = exportBytes(makeAvi(movi, false).bytes, {4096}, &summary);
        QCOMPARE(int(summary.index.size()), 9000);
        QCOMPARE(u32At(out, out.indexOf("idx1", out.size() - 9000 * 16 - 8) + 4), 9000u * 16);
    }

    // Nothing but empty chunks: the index stops at its bound instead of growing with the file.
    void indexStopsAtItsBound()
    {
        const int chunks = int(AviCopy::kMaxIndexEntries) + 5;
        QByteArray movi;
        movi.reserve(qsizetype(chunks) * 8);
        for (int i = 0; i < chunks; ++i)
            movi += QByteArray("03tx\0\0\0\0", 8);
        AviCopySummary summary;
        const Recording rec = makeAvi(movi, false);
        const QByteArray out = exportBytes(rec.bytes, {AviCopy::kBlockBytes}, &summary);
        QCOMPARE(summary.index.size(), AviCopy::kMaxIndexEntries);
        QCOMPARE(summary.textChunks, uint32_t(chunks));
        QCOMPARE(u32At(out, rec.bytes.size() + 4), uint32_t(16 * AviCopy::kMaxIndexEntries));
        QCOMPARE(u32At(out, rec.moviSize), uint32_t(4 + 8 * qsizetype(chunks)));
    }

    void hostileInput_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("code only") << QByteArray("RIFF");
        QTest::newRow("cut inside a header") << makeAvi(typicalMovi(), false).bytes.left(70);
        QTest::newRow("cut inside a chunk") << makeAvi(typicalMovi(), false).bytes.chopped(30);
        QByteArray huge = makeAvi(chunk("00dc", keyFrame()), false).bytes;
        huge += QByteArray("00dc\xFF\xFF\xFF\xFF", 8) + "tail";
        QTest::newRow("huge chunk size") << huge;
        QByteArray noise(200000, '\0');
        QRandomGenerator rng(7);
        rng.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QTest::newRow("noise") << noise;
        QTest::newRow("noise after movi") << makeAvi(noise, false).bytes;
        QTest::newRow("maker code at the very end") << QByteArray("xxLBMS", 6);
    }
    void hostileInput()
    {
        QFETCH(QByteArray, input);
        AviCopySummary summary;
        const QByteArray out = exportBytes(input, {AviCopy::kBlockBytes}, &summary);
        QCOMPARE(summary.bytesCopied, uint64_t(input.size()));
        QCOMPARE(uint64_t(out.size()), summary.outputBytes);
        // What was copied keeps its length but for a cut-off last chunk; only the appended
        // index follows it.
        QVERIFY(out.size() >= input.size() - qsizetype(summary.droppedTail));
        for (const AviIndexEntry &e : summary.index)
            QVERIFY(e.size <= AviCopy::kMaxChunkSize);
    }

    void outputNames_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("extension replaced") << "/save" << QByteArray("20231015_142530_2CH_N.avi") << "/save/20231015_142530_2CH_N.avi";
        QTest::newRow("other extension") << "/save" << QByteArray("REC0001.dat") << "/save/REC0001.avi";
        QTest::newRow("no dot") << "/save" << QByteArray("REC0001") << "/save/REC0001.avi";
        QTest::newRow("dot in the folder") << "/home/u/car.videos" << QByteArray("REC") << "/home/u/car.videos/REC.avi";
        QTest::newRow("separators stay inside") << "/save" << QByteArray("../../etc/cron") << "/save/.._..avi";
        QTest::newRow("dots only") << "/save" << QByteArray("...") << "/save/recording.avi";
        QTest::newRow("empty") << "/save" << QByteArray("") << "/save/recording.avi";
    }
    void outputNames()
    {
        QFETCH(QString, location);
        QFETCH(QByteArray, name);
        QFETCH(QString, path);
        QCOMPARE(exportOutputPath(location, name), path);
    }

    void configClm()
    {
        QTemporaryDir dir;
        {
            ConfigClm clm;
            QVERIFY(clm.open(dir.path()));
            QCOMPARE(clm.saveLocation(), QString());
            QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("config.clm"))).size(), 0);
            QVERIFY(clm.store(QString::fromUtf8("/home/u/Видео")));
            QVERIFY(!clm.store(QString(1024, QLatin1Char('x'))));
        }
        QFile raw(dir.filePath(QStringLiteral("config.clm")));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray bytes = raw.readAll();
        QCOMPARE(bytes.size(), 2048);
        QCOMPARE(bytes.left(4), QByteArray("/\0h\0", 4));
        ConfigClm again;
        QVERIFY(again.open(dir.path()));
        QCOMPARE(again.saveLocation(), QString::fromUtf8("/home/u/Видео"));
    }
};

QTEST_GUILESS_MAIN(TestAviCopy)
#include "tst_avicopy.moc"
