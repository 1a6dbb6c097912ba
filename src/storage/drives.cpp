#include "drives.h"

#include "krfs.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace {

struct MountedVolume {
    QString mountPoint;
    unsigned major = 0, minor = 0;
};

struct DiskInfo {
    QString name;      // sdb, mmcblk0
    QString sysPath;   // its folder under /sys
    unsigned major = 0, minor = 0;
};

// Undoes the octal escapes of the mount table (\040 space, \011 tab, \012, \134).
QByteArray unescapeMountField(const QByteArray &field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && value < 256) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// The mount table, one entry per mount point (a later mount hides an earlier one).
std::vector<MountedVolume> readMountTable()
{
    std::vector<MountedVolume> mounts;
    QFile file(driveSysroot() + QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return mounts;
    // mountinfo: ID PARENT MAJOR:MINOR ROOT MOUNTPOINT OPTIONS ... - FSTYPE SOURCE ...
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        const QList<QByteArray> dev = fields[2].split(':');
        bool okMajor = false, okMinor = false;
        MountedVolume m;
        if (dev.size() == 2) {
            m.major = dev[0].toUInt(&okMajor);
            m.minor = dev[1].toUInt(&okMinor);
        }
        if (!okMajor || !okMinor)
            continue;
        m.mountPoint = QFile::decodeName(unescapeMountField(fields[4]));
        std::erase_if(mounts, [&](const MountedVolume &v) { return v.mountPoint == m.mountPoint; });
        mounts.push_back(m);
    }
    return mounts;
}

std::optional<MountedVolume> findMount(const std::vector<MountedVolume> &mounts, const QString &mountPoint)
{
    const auto it = std::find_if(mounts.begin(), mounts.end(), [&](const auto &m) { return m.mountPoint == mountPoint; });
    return it == mounts.end() ? std::nullopt : std::optional(*it);
}

QByteArray readSysFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(256).trimmed() : QByteArray();
}

// The whole disk a block device belongs to: a partition's folder in sysfs holds a
// "partition" file and sits inside its disk's folder.
std::optional<DiskInfo> diskOf(unsigned major, unsigned minor)
{
    if (major == 0)
        return std::nullopt; // no block device behind it (proc, tmpfs, fuse...)
    const QString link = driveSysroot() + QStringLiteral("/sys/dev/block/%1:%2").arg(major).arg(minor);
    QString dir = QFileInfo(link).canonicalFilePath();
    if (dir.isEmpty())
        return std::nullopt;
    if (QFileInfo::exists(dir + QStringLiteral("/partition")))
        dir = QFileInfo(dir).path();
    DiskInfo disk;
    disk.sysPath = dir;
    disk.name = QFileInfo(dir).fileName();
    const QList<QByteArray> dev = readSysFile(dir + QStringLiteral("/dev")).split(':');
    bool okMajor = false, okMinor = false;
    if (dev.size() == 2) {
        disk.major = dev[0].toUInt(&okMajor);
        disk.minor = dev[1].toUInt(&okMinor);
    }
    if (!okMajor || !okMinor || disk.major == 0 || disk.name.isEmpty())
        return std::nullopt;
    return disk;
}

bool isRemovable(const DiskInfo &disk)
{
    return readSysFile(disk.sysPath + QStringLiteral("/removable")) == "1" || disk.name.startsWith(QLatin1String("mmcblk"));
}

// The disk of a mount point, and whether it is the disk that holds "/".
std::optional<std::pair<DiskInfo, bool>> resolveDisk(const std::vector<MountedVolume> &mounts, const QString &mountPoint)
{
    const auto mount = findMount(mounts, mountPoint);
    if (!mount)
        return std::nullopt;
    const auto disk = diskOf(mount->major, mount->minor);
    if (!disk)
        return std::nullopt;
    const auto root = findMount(mounts, QStringLiteral("/"));
    const auto rootDisk = root ? diskOf(root->major, root->minor) : std::nullopt;
    return std::pair(*disk, rootDisk && rootDisk->name == disk->name);
}

// statvfs of the mount point: none when the query fails, else its fragment size (bytes).
std::optional<unsigned long> blockSizeOf(const QString &mountPoint)
{
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(mountPoint).constData(), &st) != 0)
        return std::nullopt;
    return st.f_frsize ? st.f_frsize : st.f_bsize;
}

bool probe(const std::vector<MountedVolume> &mounts, DriveEntry &entry, bool readCapacity)
{
    const auto disk = resolveDisk(mounts, entry.mountPoint);
    if (!disk || disk->second)
        return false; // no disk, or the system disk
    entry.physicalPath = QFile::encodeName(driveSysroot() + QStringLiteral("/dev/") + disk->first.name).toStdString();
    // Raw access needs the node open for reading and writing, as the export and the
    // format later do; without that permission the card is not offered.
    const int fd = ::open(entry.physicalPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    if (QZ_KrFS_Check_KrFS_partition(entry.physicalPath.c_str())) {
        entry.kind = DriveKrfs;
        entry.label += QStringLiteral(" (KRFS)");
    } else {
        entry.kind = DriveRemovable;
    }
    if (readCapacity) {
        if (entry.kind == DriveRemovable) {
            const auto blockSize = blockSizeOf(entry.mountPoint);
            if (blockSize && *blockSize == 0)
                return false;
        }
        unsigned char info[QZ_KRFS_MASTER_INFO_SIZE] = {};
        uint64_t sectors = 0;
        if (QZ_KrFS_Get_Master_Device_Info(entry.physicalPath.c_str(), info) == 0)
            sectors = uint64_t(info[12]) | uint64_t(info[13]) << 8 | uint64_t(info[14]) << 16 | uint64_t(info[15]) << 24;
        entry.capacityKiB = uint32_t(sectors * 512 / 1024);
    }
    return true;
}

// Mount points of removable disks, in name order.
std::vector<QString> removableMountPoints(const std::vector<MountedVolume> &mounts)
{
    std::vector<QString> points;
    for (const MountedVolume &m : mounts) {
        const auto disk = diskOf(m.major, m.minor);
        if (disk && isRemovable(*disk))
            points.push_back(m.mountPoint);
    }
    std::sort(points.begin(), points.end());
    return points;
}

DriveEntry entryFor(const QString &mountPoint)
{
    DriveEntry entry;
    entry.mountPoint = mountPoint;
    entry.label = mountPoint.endsWith(QLatin1Char('/')) ? mountPoint : mountPoint + QLatin1Char('/');
    return entry;
}

} // namespace

QString driveSysroot()
{
    return qEnvironmentVariable("MERIDO_SYSROOT");
}

int diskNumberOf(const QString &mountPoint)
{
    const auto disk = resolveDisk(readMountTable(), mountPoint);
    if (!disk)
        return -1;
    if (disk->second)
        return 0;
    return int((disk->first.major & 0x7FF) << 20 | (disk->first.minor & 0xFFFFF));
}

bool probeDrive(DriveEntry &entry, bool readCapacity)
{
    return probe(readMountTable(), entry, readCapacity);
}

int enumerateDrives(const QString &pcFolderLabel, std::vector<DriveEntry> &drives)
{
    drives.clear();
    const auto mounts = readMountTable();
    for (const QString &point : removableMountPoints(mounts)) {
        const auto blockSize = blockSizeOf(point);
        if (!blockSize || *blockSize == 0)
            continue; // a volume the system cannot read is not offered
        DriveEntry entry = entryFor(point);
        if (probe(mounts, entry, false))
            drives.push_back(entry);
    }
    DriveEntry pc;
    pc.label = pcFolderLabel;
    pc.kind = DrivePcFolder;
    drives.push_back(pc);
    return int(drives.size());
}

int enumerateStorageDrives(std::vector<DriveEntry> &drives)
{
    drives.clear();
    const auto mounts = readMountTable();
    for (const QString &point : removableMountPoints(mounts)) {
        DriveEntry entry = entryFor(point);
        if (probe(mounts, entry, true))
            drives.push_back(entry);
    }
    return int(drives.size());
}

QString driveListText(const DriveEntry &entry)
{
    return QString(entry.label).remove(QStringLiteral("(KRFS)"));
}
