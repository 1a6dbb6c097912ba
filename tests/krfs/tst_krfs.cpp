// The partition library on real image files: round trips through the C API as the viewer
// calls it, and corrupt or truncated images that must fail cleanly.
#include "krfs.h"
#include "krfsformat.h"
#include "krfsimage.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

namespace {

constexpr uint32_t kBlock = 4096;

struct ListedFile {
    std::string name;
    uint32_t key;
    uint32_t size;
    int32_t time;
};

std::vector<uint8_t> pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = uint8_t(seed + i * 7 + (i >> 12));
    return data;
}

// An open device block that is closed and freed on every path.
struct OpenDevice {
    std::vector<uint8_t> block = std::vector<uint8_t>(QZ_KRFS_DEVICE_BLOCK_SIZE, 0);
    bool open = false;
    explicit OpenDevice(const std::string &path)
    {
        open = QZ_KrFS_Device_Open(path.c_str(), QZ_KRFS_OPEN_MODE, block.data()) == 0;
    }
    ~OpenDevice()
    {
        if (open)
            QZ_KrFS_Device_Close(block.data());
    }
    void *get() { return block.data(); }
};

// Lists a folder as the catalogue does: dir info, then the list call, repeated with the
// same position while records come back.
std::vector<ListedFile> listFolder(void *device, const char *folder, int *calls = nullptr)
{
    std::vector<ListedFile> files;
    int position = 1;
    for (int guard = 0; guard < 10000; ++guard) {
        unsigned char info[QZ_KRFS_DIR_INFO_SIZE] = {};
        uint64_t used = 0, allocated = 0;
        QZ_KrFS_Get_Dir_Info(device, folder, info, &used, &allocated);
        std::vector<unsigned char> list(QZ_KRFS_LIST_BUFFER_SIZE, 0);
        krfs::put32(list.data(), QZ_KRFS_LIST_CAPACITY);
        const int n = QZ_KrFS_Get_FileList(device, folder, &position, list.data(), 0);
        if (calls)
            ++*calls;
        if (n <= 0)
            break;
        if (n > QZ_KRFS_LIST_CAPACITY)
            return {}; // would have overrun the buffer
        for (int i = 0; i < n; ++i) {
            const unsigned char *r = list.data() + 4 + i * QZ_KRFS_LIST_RECORD_SIZE;
            files.push_back({std::string(reinterpret_cast<const char *>(r), strnlen(reinterpret_cast<const char *>(r), 98)),
                             krfs::le32(r + 98), krfs::le32(r + 102), int32_t(krfs::le32(r + 106))});
        }
    }
    return files;
}

// Reads a whole file through open / 5 MiB reads / close. Empty optional on failure.
std::optional<std::vector<uint8_t>> readFile(void *device, const std::string &folder, const ListedFile &file)
{
    const std::string path = "/" + folder + "/" + file.name;
    const int handle = QZ_KrFS_File_Open(device, path.c_str(), "r", 0, 0, file.key);
    if (handle < 1)
        return std::nullopt;
    std::vector<uint8_t> out;
    static std::vector<uint8_t> buffer(QZ_KRFS_READ_BLOCK); // reused: 5 MiB per call is slow under ASan
    int n;
    while ((n = QZ_KrFS_File_Read(device, buffer.data(), QZ_KRFS_READ_BLOCK, handle)) > 0)
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    QZ_KrFS_File_Close(device, handle);
    return out;
}

QByteArray readImage(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeImage(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestKrfs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::string imagePath(const char *name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }

    // A small image (no FAT area) with three recordings of one drive and one event.
    std::string smallImage(const char *name, krfs::ImageLayout *layout = nullptr)
    {
        const std::string path = imagePath(name);
        krfs::ImageOptions o;
        o.fatBytes = 0;
        o.krfsBytes = 4 << 20;
        o.blockSize = kBlock;
        o.dirSlots = 64;
        std::string error;
        if (!krfs::makeImage(path, o, layout, &error))
            qWarning("%s", error.c_str());
        krfs::putBytes(path, "NOR", "20231015_142530_3CH_N_F.avi", pattern(10000, 1), {1697379930, true}, &error);
        krfs::putBytes(path, "NOR", "20231015_142630_3CH_N_F.avi", pattern(4096, 2), {1697379990, true}, &error);
        krfs::putBytes(path, "EVT", "20231015_142700_3CH_E_F.avi", pattern(1, 3), {1697380020, false}, &error);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void roundTrip()
    {
        krfs::ImageLayout layout;
        const std::string path = imagePath("round.img");
        krfs::ImageOptions o;
        o.fatBytes = 1 << 20;
        o.krfsBytes = 32 << 20;
        o.blockSize = 64 << 10;
        o.dirSlots = 256;
        std::string error;
        QVERIFY2(krfs::makeImage(path, o, &layout, &error), error.c_str());
        QCOMPARE(layout.fatFirstLba, 2048u);
        QCOMPARE(layout.krfsFirstLba, 4096u);

        // 35 files: more than one list batch. One is larger than a 5 MiB read.
        std::vector<std::vector<uint8_t>> payloads;
        for (int i = 0; i < 35; ++i) {
            payloads.push_back(pattern(i == 7 ? QZ_KRFS_READ_BLOCK + 3 : size_t(1000 + i * 1500), uint8_t(i)));
            const std::string name = "20231015_14" + std::to_string(1000 + i).substr(2) + "00_2CH_N_F.avi";
            const uint32_t key = krfs::putBytes(path, "NOR", name, payloads.back(), {1697379930 + i, true}, &error);
            QVERIFY2(key == uint32_t(i + 1), error.c_str());
        }
        QVERIFY(krfs::putBytes(path, "USR", "empty.avi", {}, {0, true}, &error) > 0);

        QVERIFY(QZ_KrFS_Check_KrFS_partition(path.c_str()) != 0);
        unsigned char master[QZ_KRFS_MASTER_INFO_SIZE] = {};
        QCOMPARE(QZ_KrFS_Get_Master_Device_Info(path.c_str(), master), 0);
        QCOMPARE(krfs::le32(master + 8), 4096u);
        QCOMPARE(krfs::le32(master + 12), 4096u + (32u << 20) / 512);

        OpenDevice device(path);
        QVERIFY(device.open);
        int calls = 0;
        const auto files = listFolder(device.get(), "NOR", &calls);
        QCOMPARE(files.size(), size_t(35));
        QCOMPARE(calls, 3); // 30, 5, then 0 ends the listing
        uint64_t expectedUsed = 0;
        for (size_t i = 0; i < files.size(); ++i) {
            QCOMPARE(files[i].key, uint32_t(i + 1));
            QCOMPARE(files[i].size, uint32_t(payloads[i].size()));
            QCOMPARE(files[i].time, int32_t(1697379930 + i));
            const auto data = readFile(device.get(), "NOR", files[i]);
            QVERIFY(data);
            QVERIFY(*data == payloads[i]);
            expectedUsed += payloads[i].size();
        }
        unsigned char info[QZ_KRFS_DIR_INFO_SIZE] = {};
        uint64_t used = 0, allocated = 0;
        QCOMPARE(QZ_KrFS_Get_Dir_Info(device.get(), "NOR", info, &used, &allocated), 0);
        QCOMPARE(used, expectedUsed);
        QVERIFY(allocated >= used && allocated % o.blockSize == 0);
        QCOMPARE(krfs::le32(info), 35u);

        const auto usr = listFolder(device.get(), "USR");
        QCOMPARE(usr.size(), size_t(1));
        QCOMPARE(readFile(device.get(), "USR", usr[0])->size(), size_t(0));
        QVERIFY(listFolder(device.get(), "MOT").empty());
        QCOMPARE(QZ_KrFS_Get_Dir_Info(device.get(), "NONE", info, &used, &allocated), -1);
    }

    void unfinishedFileIsListed()
    {
        const std::string path = smallImage("unfinished.img");
        OpenDevice device(path);
        QVERIFY(device.open);
        const auto evt = listFolder(device.get(), "EVT");
        QCOMPARE(evt.size(), size_t(1));
        QCOMPARE(evt[0].size, 1u);
        QCOMPARE(readFile(device.get(), "EVT", evt[0])->size(), size_t(1));
    }

    void fileOpenRejects_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<uint>("key");
        const QByteArray good = "/NOR/20231015_142530_3CH_N_F.avi";
        QTest::newRow("key 0") << good << QByteArray("r") << 0u;
        QTest::newRow("key of another file") << good << QByteArray("r") << 2u;
        QTest::newRow("key past the directory") << good << QByteArray("r") << 100000u;
        QTest::newRow("free slot key") << good << QByteArray("r") << 10u;
        QTest::newRow("wrong folder") << QByteArray("/EVT/20231015_142530_3CH_N_F.avi") << QByteArray("r") << 1u;
        QTest::newRow("unknown folder") << QByteArray("/XXX/20231015_142530_3CH_N_F.avi") << QByteArray("r") << 1u;
        QTest::newRow("no slash") << QByteArray("NOR20231015_142530_3CH_N_F.avi") << QByteArray("r") << 1u;
        QTest::newRow("no file part") << QByteArray("/NOR") << QByteArray("r") << 1u;
        QTest::newRow("write mode") << good << QByteArray("w") << 1u;
        QTest::newRow("update mode") << good << QByteArray("r+") << 1u;
        QTest::newRow("path of 132 bytes") << QByteArray("/NOR/") + QByteArray(127, 'a') << QByteArray("r") << 1u;
    }

    void fileOpenRejects()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, mode);
        QFETCH(uint, key);
        static const std::string image = smallImage("open.img");
        OpenDevice device(image);
        QVERIFY(device.open);
        QVERIFY(QZ_KrFS_File_Open(device.get(), path.constData(), mode.constData(), 0, 0, key) < 1);
        // The right arguments still work afterwards.
        const int handle = QZ_KrFS_File_Open(device.get(), "/NOR/20231015_142530_3CH_N_F.avi", "r", 0, 0, 1);
        QVERIFY(handle >= 1);
        QCOMPARE(QZ_KrFS_File_Close(device.get(), handle), 0);
        QCOMPARE(QZ_KrFS_File_Close(device.get(), handle), -1);
    }

    void deviceBlockMisuse()
    {
        const std::string path = smallImage("misuse.img");
        std::vector<uint8_t> block(QZ_KRFS_DEVICE_BLOCK_SIZE, 0);
        int position = 1;
        std::vector<unsigned char> list(QZ_KRFS_LIST_BUFFER_SIZE, 0);
        uint8_t byte;
        // A zeroed block that was never opened.
        QCOMPARE(QZ_KrFS_Get_FileList(block.data(), "NOR", &position, list.data(), 0), -1);
        QCOMPARE(QZ_KrFS_File_Read(block.data(), &byte, 1, 1), -1);
        QCOMPARE(QZ_KrFS_Device_Close(block.data()), -1);
        QCOMPARE(QZ_KrFS_Device_Close(nullptr), -1);

        QCOMPARE(QZ_KrFS_Device_Open(path.c_str(), QZ_KRFS_OPEN_MODE, block.data()), 0);
        QVERIFY(QZ_KrFS_Device_Open(path.c_str(), QZ_KRFS_OPEN_MODE, block.data()) != 0); // already open
        position = 0;
        QCOMPARE(QZ_KrFS_Get_FileList(block.data(), "NOR", &position, list.data(), 0), -1);
        position = 1000;
        QCOMPARE(QZ_KrFS_Get_FileList(block.data(), "NOR", &position, list.data(), 0), 0);
        QCOMPARE(QZ_KrFS_File_Read(block.data(), &byte, 1, 99), -1);
        QCOMPARE(QZ_KrFS_File_Read(block.data(), &byte, 1, 0), -1);
        // A capacity below 30 is honoured.
        position = 1;
        krfs::put32(list.data(), 1);
        QCOMPARE(QZ_KrFS_Get_FileList(block.data(), "NOR", &position, list.data(), 0), 1);
        QCOMPARE(position, 2);
        QCOMPARE(QZ_KrFS_Device_Close(block.data()), 0);
        QVERIFY(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; }));

        std::vector<uint8_t> other(QZ_KRFS_DEVICE_BLOCK_SIZE, 0);
        QVERIFY(QZ_KrFS_Device_Open(imagePath("missing.img").c_str(), QZ_KRFS_OPEN_MODE, other.data()) != 0);
        QVERIFY(QZ_KrFS_Device_Open(dir.path().toStdString().c_str(), QZ_KRFS_OPEN_MODE, other.data()) != 0);
    }

    void masterInfoWithoutPartition()
    {
        const QString path = dir.filePath(QStringLiteral("plain.img"));
        writeImage(path, QByteArray(3 * 512 + 100, '\0'));
        unsigned char master[QZ_KRFS_MASTER_INFO_SIZE] = {};
        QCOMPARE(QZ_KrFS_Get_Master_Device_Info(path.toLocal8Bit().constData(), master), 0);
        QCOMPARE(krfs::le32(master + 8), 0u);
        QCOMPARE(krfs::le32(master + 12), 3u);
        QCOMPARE(QZ_KrFS_Check_KrFS_partition(path.toLocal8Bit().constData()), 0);
        QVERIFY(QZ_KrFS_Get_Master_Device_Info(imagePath("none.img").c_str(), master) != 0);
    }

    void writerRejects_data()
    {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("size");
        QTest::newRow("duplicate name") << QByteArray("NOR") << QByteArray("20231015_142530_3CH_N_F.avi") << 10;
        QTest::newRow("name of 64 bytes") << QByteArray("NOR") << QByteArray(64, 'a') << 10;
        QTest::newRow("name with slash") << QByteArray("NOR") << QByteArray("a/b") << 10;
        QTest::newRow("empty name") << QByteArray("NOR") << QByteArray() << 10;
        QTest::newRow("unknown folder") << QByteArray("XYZ") << QByteArray("a.avi") << 10;
        QTest::newRow("larger than the partition") << QByteArray("NOR") << QByteArray("big.avi") << (8 << 20);
    }

    void writerRejects()
    {
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, name);
        QFETCH(int, size);
        const std::string path = smallImage("writer.img");
        std::string error;
        QCOMPARE(krfs::putBytes(path, folder.toStdString(), name.toStdString(), pattern(size_t(size), 0), {}, &error), 0u);
        QVERIFY(!error.empty());
        // The image is unchanged and still reads.
        OpenDevice device(path);
        QVERIFY(device.open);
        QCOMPARE(listFolder(device.get(), "NOR").size(), size_t(2));
    }

    void nameOf63BytesFitsTheListRecord()
    {
        const std::string path = smallImage("longname.img");
        const std::string name(63, 'n');
        std::string error;
        QVERIFY2(krfs::putBytes(path, "USR", name, pattern(5, 0), {}, &error) > 0, error.c_str());
        OpenDevice device(path);
        const auto files = listFolder(device.get(), "USR");
        QCOMPARE(files.size(), size_t(1));
        QCOMPARE(files[0].name, name);
        QVERIFY(readFile(device.get(), "USR", files[0]));
    }

    void directoryFull()
    {
        const std::string path = imagePath("full.img");
        krfs::ImageOptions o;
        o.fatBytes = 0;
        o.krfsBytes = 1 << 20;
        o.blockSize = kBlock;
        o.dirSlots = 2;
        std::string error;
        QVERIFY(krfs::makeImage(path, o, nullptr, &error));
        QVERIFY(krfs::putBytes(path, "NOR", "a", pattern(1, 0), {}, &error) > 0);
        QVERIFY(krfs::putBytes(path, "NOR", "b", pattern(1, 0), {}, &error) > 0);
        QCOMPARE(krfs::putBytes(path, "NOR", "c", pattern(1, 0), {}, &error), 0u);
    }

    // Damaged metadata: each row patches the image and says what must still be listed.
    void corruptImages_data()
    {
        QTest::addColumn<int>("offset");      // from the start of the KRFS partition; -1: the MBR
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("fixCrc");     // recompute the superblock checksum afterwards
        QTest::addColumn<int>("truncateTo");  // image length after the patch, 0: unchanged
        QTest::addColumn<int>("norFiles");    // -1: the partition must be refused
        const auto u32 = [](uint32_t v) { QByteArray b(4, '\0'); krfs::put32(reinterpret_cast<uint8_t *>(b.data()), v); return b; };
        QTest::newRow("MBR signature gone") << -510 << QByteArray("\0\0", 2) << false << 0 << -1;
        QTest::newRow("partition type changed") << -(446 + 4) << QByteArray("\x0c", 1) << false << 0 << -1;
        QTest::newRow("partition past the disk end") << -(446 + 12) << u32(0xFFFFFF00u) << false << 0 << -1;
        QTest::newRow("image truncated") << 0 << QByteArray() << false << 512 * 2048 + 8192 << -1;
        QTest::newRow("superblock checksum") << 100 << QByteArray("x") << false << 0 << -1;
        QTest::newRow("bad magic") << 0 << QByteArray("KRFX") << true << 0 << -1;
        QTest::newRow("block size 0") << 8 << u32(0) << true << 0 << -1;
        QTest::newRow("block size not a power of two") << 8 << u32(5000) << true << 0 << -1;
        QTest::newRow("block count beyond partition") << 12 << u32(0x10000) << true << 0 << -1;
        QTest::newRow("directory slots huge") << 20 << u32(0xFFFFFFFFu) << true << 0 << -1;
        QTest::newRow("directory over data") << 24 << u32(1) << true << 0 << -1;
        QTest::newRow("append pointer past the end") << 28 << u32(0x7FFFFFFF) << true << 0 << -1;
        QTest::newRow("no folders") << 32 << u32(0) << true << 0 << -1;
        QTest::newRow("folder name unterminated") << 40 << QByteArray(16, 'A') << true << 0 << -1;
        QTest::newRow("duplicate folder") << 56 << QByteArray("NOR\0", 4) << true << 0 << -1;
        // Directory records: a damaged record is skipped, the rest stays readable.
        QTest::newRow("record checksum") << int(kBlock) + 10 << QByteArray("x") << false << 0 << 1;
        QTest::newRow("record state unknown") << int(kBlock) + 64 << QByteArray("\x07", 1) << false << 0 << 1;
    }

    void corruptImages()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, fixCrc);
        QFETCH(int, truncateTo);
        QFETCH(int, norFiles);
        krfs::ImageLayout layout;
        const std::string path = smallImage("corrupt.img", &layout);
        const QString qpath = QString::fromStdString(path);
        QByteArray image = readImage(qpath);
        const qsizetype partition = qsizetype(layout.krfsFirstLba) * 512;
        const qsizetype at = offset < 0 ? -offset : partition + offset;
        image.replace(at, bytes.size(), bytes);
        if (fixCrc) {
            auto *sb = reinterpret_cast<uint8_t *>(image.data() + partition);
            krfs::put32(sb + 508, krfs::crc32({sb, 508}));
        }
        if (truncateTo)
            image.truncate(truncateTo);
        writeImage(qpath, image);

        OpenDevice device(path);
        QCOMPARE(QZ_KrFS_Check_KrFS_partition(path.c_str()) != 0, norFiles >= 0);
        QCOMPARE(device.open, norFiles >= 0);
        if (norFiles < 0)
            return;
        const auto files = listFolder(device.get(), "NOR");
        QCOMPARE(int(files.size()), norFiles);
        QVERIFY(readFile(device.get(), "NOR", files[0]));
    }

    void recordExtentsOutsideTheDataAreaAreSkipped_data()
    {
        QTest::addColumn<uint32_t>("firstBlock");
        QTest::addColumn<uint32_t>("blockCount");
        QTest::addColumn<uint32_t>("size");
        QTest::newRow("inside the directory") << 1u << 1u << 10u;
        QTest::newRow("past the append pointer") << 1000u << 1u << 10u;
        QTest::newRow("count wraps") << 5u << 0xFFFFFFFFu << 10u;
        QTest::newRow("size beyond its blocks") << 3u << 1u << kBlock + 1;
    }

    void recordExtentsOutsideTheDataAreaAreSkipped()
    {
        QFETCH(uint32_t, firstBlock);
        QFETCH(uint32_t, blockCount);
        QFETCH(uint32_t, size);
        krfs::ImageLayout layout;
        const std::string path = smallImage("extent.img", &layout);
        const QString qpath = QString::fromStdString(path);
        QByteArray image = readImage(qpath);
        // Rewrite record 1 with a valid checksum, so only the range checks can catch it.
        auto *record = reinterpret_cast<uint8_t *>(image.data() + qsizetype(layout.krfsFirstLba) * 512 + kBlock);
        krfs::put32(record + 68, size);
        krfs::put32(record + 80, firstBlock);
        krfs::put32(record + 84, blockCount);
        krfs::put32(record + 124, krfs::crc32({record, 124}));
        writeImage(qpath, image);

        OpenDevice device(path);
        QVERIFY(device.open);
        const auto files = listFolder(device.get(), "NOR");
        QCOMPARE(files.size(), size_t(1));
        QCOMPARE(files[0].key, 2u);
        QVERIFY(QZ_KrFS_File_Open(device.get(), "/NOR/20231015_142530_3CH_N_F.avi", "r", 0, 0, 1) < 1);
    }

    // Random damage to the metadata: whatever comes out, nothing reads out of bounds
    // (the sanitizer build checks that) and every listed file reads to its size.
    void randomDamage()
    {
        krfs::ImageLayout layout;
        const std::string path = smallImage("random.img", &layout);
        const QString qpath = QString::fromStdString(path);
        const qsizetype partition = qsizetype(layout.krfsFirstLba) * 512;
        // Only the MBR and the metadata area are damaged and written back, in place.
        const QByteArray image = readImage(qpath);
        const QByteArray mbr = image.left(512);
        const QByteArray metadata = image.mid(partition, kBlock + 3 * 128);
        QFile file(qpath);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QRandomGenerator random(20231015);
        for (int round = 0; round < 300; ++round) {
            QByteArray m = mbr, meta = metadata;
            const int flips = 1 + random.bounded(8);
            for (int i = 0; i < flips; ++i) {
                if (random.bounded(4) == 0)
                    m[random.bounded(512)] = char(random.bounded(256));
                else
                    meta[random.bounded(int(meta.size()))] = char(random.bounded(256));
            }
            if (random.bounded(2)) { // fix the superblock checksum half of the time
                auto *sb = reinterpret_cast<uint8_t *>(meta.data());
                krfs::put32(sb + 508, krfs::crc32({sb, 508}));
            }
            QVERIFY(file.seek(0) && file.write(m) == m.size());
            QVERIFY(file.seek(partition) && file.write(meta) == meta.size());
            QVERIFY(file.flush());
            OpenDevice device(path);
            if (!device.open)
                continue;
            for (const char *folder : {"NOR", "EVT", "MOT", "USR"}) {
                for (const ListedFile &f : listFolder(device.get(), folder)) {
                    const auto data = readFile(device.get(), folder, f);
                    QVERIFY(data);
                    QCOMPARE(data->size(), size_t(f.size));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestKrfs)
#include "tst_krfs.moc"
