#include "recordingcatalogue.h"

#include "krfs.h"
#include "containerrepair.h"
#include "recordingname.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Creation time (birth time, else modification time) and size of a file, or false.
bool fileTimes(int dirFd, const char *name, int64_t &created, int64_t &bytes)
{
    struct statx st {};
    if (statx(dirFd, name, AT_STATX_SYNC_AS_STAT, STATX_BTIME | STATX_MTIME | STATX_SIZE, &st) != 0)
        return false;
    const struct statx_timestamp &t = (st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime;
    created = fileTimeFromUnix(t.tv_sec, t.tv_nsec);
    bytes = int64_t(st.stx_size);
    return true;
}

// The text after the last "." of a name, lower-cased; the whole name without a dot.
QString extensionOf(const QString &name)
{
    return name.mid(name.lastIndexOf(QLatin1Char('.')) + 1).toLower();
}

// Whether a directory entry is a folder to descend into; symbolic links are not
// followed, so a link loop cannot recurse forever.
bool isDirectory(int dirFd, const dirent *d)
{
    if (d->d_type != DT_UNKNOWN)
        return d->d_type == DT_DIR;
    struct stat st {};
    return fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(int dirFd, const dirent *d)
{
    if (d->d_type != DT_UNKNOWN && d->d_type != DT_LNK)
        return d->d_type == DT_REG;
    struct stat st {};
    return fstatat(dirFd, d->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

} // namespace

RecordingCatalogue::RecordingCatalogue()
{
    QZ_KrFS_Start();
    repairRecording = [](const QString &path, int side, int sizeClass) {
        return storage::repairRecording(QFile::encodeName(path).toStdString(), side, sizeClass);
    };
}

RecordingCatalogue::~RecordingCatalogue()
{
    closeDevice();
    QZ_KrFS_Stop();
}

void RecordingCatalogue::closeDevice()
{
    if (krfsDevice)
        QZ_KrFS_Device_Close(krfsDevice);
    krfsDevice = nullptr;
    deviceBlock.reset();
}

bool RecordingCatalogue::addFolderName(const QString &name)
{
    const bool present = std::any_of(folderNames.begin(), folderNames.end(),
                                     [&](const RecordingFolderName &f) { return f.name == name; });
    if (present)
        return false;
    folderNames.push_back({name, name.toUtf8()});
    return true;
}

void RecordingCatalogue::addExtension(const QString &extension)
{
    const QString lower = extension.toLower();
    if (!lower.isEmpty() && !extensions.contains(lower))
        extensions << lower;
}

int RecordingCatalogue::enumerateDrives()
{
    return ::enumerateDrives(pcFolderLabel, drives);
}

const DriveEntry *RecordingCatalogue::driveAt(int index) const
{
    return index >= 0 && size_t(index) < drives.size() ? &drives[size_t(index)] : nullptr;
}

const DriveEntry *RecordingCatalogue::selectedDriveEntry() const
{
    return driveAt(selectedDrive);
}

bool RecordingCatalogue::selectSource(int index)
{
    if (index < 0)
        return false;
    closeDevice();
    const DriveEntry *drive = driveAt(index);
    if (!drive)
        return false;
    sourceKind = drive->kind;
    tzset(); // the time rule reads the zone as it is now

    switch (drive->kind) {
    case DriveRemovable: {
        scannedFolders.clear();
        entries.clear();
        const QString root = drive->mountPoint.endsWith(QLatin1Char('/')) ? drive->mountPoint : drive->mountPoint + QLatin1Char('/');
        for (size_t i = 0; i < folderNames.size(); ++i) {
            ScannedFolder folder;
            folder.path = root + folderNames[i].name + QLatin1Char('/');
            folder.nameNarrow = folderNames[i].nameNarrow;
            scanFolder(folder, int(i), recurseDrive);
            scannedFolders.push_back(folder);
        }
        break;
    }
    case DriveKrfs: {
        scannedFolders.clear();
        entries.clear();
        deviceBlock = std::make_unique<unsigned char[]>(QZ_KRFS_DEVICE_BLOCK_SIZE);
        std::memset(deviceBlock.get(), 0, QZ_KRFS_DEVICE_BLOCK_SIZE);
        if (QZ_KrFS_Device_Open(drive->physicalPath.c_str(), QZ_KRFS_OPEN_MODE, deviceBlock.get()) != 0) {
            deviceBlock.reset();
            std::fputs("KRFS drive cannot be opened\n", stdout);
            return false;
        }
        krfsDevice = deviceBlock.get();
        for (size_t i = 0; i < folderNames.size(); ++i) {
            ScannedFolder folder;
            folder.path = QString::fromUtf8(folderNames[i].nameNarrow);
            folder.nameNarrow = folderNames[i].nameNarrow;
            listPartitionFolder(folder, int(i));
            scannedFolders.push_back(folder);
        }
        break;
    }
    case DrivePcFolder: {
        if (!ownerWindow || !folderPicker)
            return false;
        const QString chosen = folderPicker();
        // A cancelled picker gives no folder; scanning "" + "/" would read the root.
        if (chosen.isEmpty())
            return false;
        scannedFolders.clear();
        entries.clear();
        ScannedFolder folder;
        folder.path = chosen.endsWith(QLatin1Char('/')) ? chosen : chosen + QLatin1Char('/');
        scanFolder(folder, 0, recursePcFolder);
        if (folder.fileCount == 0)
            return false;
        scannedFolders.push_back(folder);
        break;
    }
    default:
        return false;
    }
    sortEntries();
    selectedDrive = index;
    return true;
}

bool RecordingCatalogue::scanFolder(ScannedFolder &folder, int folderIndex, bool recurse)
{
    DIR *dir = opendir(QFile::encodeName(folder.path).constData());
    if (!dir)
        return false;
    const int fd = dirfd(dir);
    while (const dirent *d = readdir(dir)) {
        if (!std::strcmp(d->d_name, ".") || !std::strcmp(d->d_name, ".."))
            continue;
        const QString name = QFile::decodeName(d->d_name);
        if (isDirectory(fd, d)) {
            if (!recurse)
                continue;
            ScannedFolder sub;
            sub.path = folder.path + name + QLatin1Char('/');
            folder.fileCount += scanFolder(sub, folderIndex, recurse) ? 1 : 0;
            continue;
        }
        if (!extensions.contains(extensionOf(name)) || !isRegularFile(fd, d))
            continue;
        RecordingEntry entry;
        int64_t bytes = 0;
        if (!fileTimes(fd, d->d_name, entry.created, bytes))
            continue;
        entry.folderIndex = folderIndex;
        entry.name = name;
        entry.path = folder.path + name;
        entry.createdLocal = shownTime(entry.created);
        entry.sizeKiB = bytes / 1024;
        entries.push_back(std::move(entry));
        ++folder.fileCount;
    }
    closedir(dir);
    return true;
}

void RecordingCatalogue::listPartitionFolder(ScannedFolder &folder, int folderIndex)
{
    const QByteArray name = folder.nameNarrow;
    std::vector<unsigned char> list(QZ_KRFS_LIST_BUFFER_SIZE);
    int position = 1;
    for (;;) {
        unsigned char info[QZ_KRFS_DIR_INFO_SIZE] = {};
        uint64_t used = 0, allocated = 0;
        QZ_KrFS_Get_Dir_Info(krfsDevice, name.constData(), info, &used, &allocated);
        std::fill(list.begin(), list.end(), 0);
        list[0] = QZ_KRFS_LIST_CAPACITY;
        const int before = position;
        const int n = QZ_KrFS_Get_FileList(krfsDevice, name.constData(), &position, list.data(), 0);
        if (n <= 0)
            return;
        const int count = std::min(n, int(QZ_KRFS_LIST_CAPACITY));
        for (int i = 0; i < count; ++i) {
            const unsigned char *r = list.data() + 4 + size_t(i) * QZ_KRFS_LIST_RECORD_SIZE;
            const auto le32 = [](const unsigned char *p) {
                return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            };
            RecordingEntry entry;
            entry.folderIndex = folderIndex;
            entry.fileKey = le32(r + 98);
            entry.nameNarrow = QByteArray(reinterpret_cast<const char *>(r),
                                          int(qstrnlen(reinterpret_cast<const char *>(r), QZ_KRFS_LIST_NAME_SIZE)));
            entry.name = entry.path = QString::fromUtf8(entry.nameNarrow);
            entry.created = fileTimeFromUnix(int32_t(le32(r + 106)));
            entry.createdLocal = shownTime(entry.created);
            entry.sizeKiB = int64_t(le32(r + 102) >> 10);
            entries.push_back(std::move(entry));
        }
        folder.fileCount += count;
        if (position <= before)
            return; // a position that does not advance would list the same batch forever
    }
}

void RecordingCatalogue::sortEntries()
{
    // Keys are built once, not per comparison: a full card holds tens of thousands of files.
    struct Keyed {
        QString key;
        size_t index;
    };
    std::vector<Keyed> order;
    order.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        order.push_back({recname::sortKey(entries[i].name), i});
    const bool descending = sortOrder == SortDescending;
    std::stable_sort(order.begin(), order.end(), [&](const Keyed &ka, const Keyed &kb) {
        const int byKey = ka.key.compare(kb.key, Qt::CaseSensitive);
        if (byKey != 0)
            return descending ? byKey > 0 : byKey < 0;
        const RecordingEntry &a = entries[ka.index], &b = entries[kb.index];
        if (a.created != b.created)
            return descending ? a.created > b.created : a.created < b.created;
        return a.sizeKiB > b.sizeKiB; // larger first in both orders
    });
    std::vector<RecordingEntry> sorted;
    sorted.reserve(entries.size());
    for (const Keyed &k : order)
        sorted.push_back(std::move(entries[k.index]));
    entries = std::move(sorted);
}

void RecordingCatalogue::addRow(RecordingListView &view, const RecordingEntry &entry)
{
    view.appendRow(QString::asprintf("%03d", int(shownRows.size()) + 1), recname::dateText(entry.name),
                   recname::timeText(entry.name), recname::typeText(recname::typeLetter(entry.name)));
    shownRows.push_back(&entry);
}

int RecordingCatalogue::fillListByType(int type, RecordingListView &view)
{
    shownRows.clear();
    view.clear();
    if (entries.empty())
        return 0;
    view.setRedraw(false);
    for (const RecordingEntry &entry : entries) {
        const int letter = recname::typeLetter(entry.name);
        // A name without a type letter counts as normal.
        if ((letter == recname::TypeNone ? recname::TypeNormal : letter) == type && !recname::isRearFile(entry.name))
            addRow(view, entry);
    }
    view.setRedraw(true);
    return int(shownRows.size());
}

int RecordingCatalogue::fillListAll(RecordingListView &view)
{
    shownRows.clear();
    view.clear();
    if (entries.empty())
        return 0;
    view.setRedraw(false);
    for (const RecordingEntry &entry : entries) {
        const int type = recname::allViewType(entry.name);
        const int side = recname::side(entry.name);
        if (!type || !side || !recname::channelCount(entry.name))
            continue;
        // Partition files are read through the library and never repaired.
        if (sourceKind != SourceKrfs && repairRecording)
            repairRecording(entry.path, side, recname::sizeClass(type, entry.sizeKiB));
        if (recname::hasFiveFields(entry.name) && !recname::isRearFile(entry.name))
            addRow(view, entry);
    }
    view.setRedraw(true);
    return int(shownRows.size());
}

const RecordingEntry *RecordingCatalogue::entryAtRow(int row) const
{
    return row >= 0 && size_t(row) < shownRows.size() ? shownRows[size_t(row)] : nullptr;
}

const RecordingEntry *RecordingCatalogue::entryAt(int index) const
{
    return index >= 0 && size_t(index) < entries.size() ? &entries[size_t(index)] : nullptr;
}

const ScannedFolder *RecordingCatalogue::folderAt(int index) const
{
    return index >= 0 && size_t(index) < scannedFolders.size() ? &scannedFolders[size_t(index)] : nullptr;
}

ChannelPaths RecordingCatalogue::channelPaths(const RecordingEntry &entry) const
{
    ChannelPaths paths;
    if (sourceKind == SourceKrfs) {
        paths.front = entry.name;
        return paths;
    }
    paths.front = entry.path;
    const QStringList f = recname::fields(entry.name);
    const QString channels = f.value(2);
    if (channels != QLatin1String("3CH") && channels != QLatin1String("2CH"))
        return paths;
    const auto rear = [&](const char *suffix) {
        if (f.value(4) != QLatin1String("F.mp4"))
            return entry.path;
        // Only the folder named FRONT and the "_F" of the file name change, so a mount
        // point or folder that happens to contain "FRONT" or "_F" keeps its name.
        QString dir = entry.path.left(entry.path.size() - entry.name.size());
        QStringList parts = dir.split(QLatin1Char('/'));
        for (QString &part : parts) {
            if (part == QLatin1String("FRONT"))
                part = QStringLiteral("REAR");
        }
        return parts.join(QLatin1Char('/')) + QString(entry.name).replace(QLatin1String("_F"), QLatin1String(suffix));
    };
    paths.second = rear("_R1");
    if (channels == QLatin1String("3CH"))
        paths.third = rear("_R2");
    return paths;
}
