// The recording catalogue: the selectable sources, the recordings of the loaded one
// (card folders, the KRFS partition, or a PC folder), their order, the rows of the list
// views filtered by type, and the channel files of a recording. UI thread only; no state
// on disk: everything is rebuilt by each selectSource.
#pragma once

#include "avicopy.h"
#include "drives.h"
#include "filetime.h"

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QObject;

struct RecordingEntry {
    int folderIndex = 0;                // position in folderNames; 0 for a PC folder
    uint32_t fileKey = 0xFFFFFFFFu;     // partition key (1 and more); all bits for files found on disk
    QByteArray nameNarrow;              // the partition's name bytes, whole (partition only)
    QString name;                       // file name without folder
    QString path;                       // full path on disk; the name alone on the partition
    int64_t created = 0;                // 100-ns ticks since 1601 UTC
    SystemTime createdLocal;            // created, by the time rule
    int64_t sizeKiB = 0;                // bytes / 1024, rounded down
};

struct ScannedFolder {
    QString path;          // ends with "/" for folders read from disk
    QByteArray nameNarrow; // the configured folder name as bytes (partition)
    int fileCount = 0;     // files added here, + 1 per sub-folder scanned; records listed on the partition
};

struct RecordingFolderName {
    QString name;          // as configured
    QByteArray nameNarrow; // the same as UTF-8 bytes, whole
};

// What a fill needs of a list view; the windows implement it over their Qt list.
class RecordingListView
{
public:
    virtual ~RecordingListView() = default;
    virtual void clear() = 0;
    // Off: stop repainting and show the wait cursor; on: the arrow cursor and repaint.
    virtual void setRedraw(bool on) = 0;
    virtual void appendRow(const QString &number, const QString &date, const QString &time, const QString &type) = 0;
};

struct ChannelPaths {
    QString front, second, third;
};

// How the export of one row ended. Failures are silent for the window; the tool prints them.
struct ExportResult {
    enum Status {
        Exported,           // copied (and repaired when it was never finalized)
        NoEntry,            // no row of that number
        NotOnPartition,     // a file found through the file system (key below 1)
        NoFolder,           // the entry's folder is not among the scanned ones
        OutputNotCreated,   // the output file could not be created
        SourceNotOpened,    // no partition open, or the library refused the file
        CopyFailed,         // writing the output failed part way
    };
    Status status = NoEntry;
    QString outputPath;
    AviCopySummary copy;
};
// Bytes read from the partition so far for the row being exported.
using ExportProgress = std::function<void(uint64_t bytesRead)>;

class RecordingCatalogue
{
public:
    enum SourceKind : int { SourceDrive = 0, SourceKrfs = 1, SourcePcFolder = 2, SourceNone = 3 };
    enum SortOrder : int { SortAscending = 0, SortDescending = 2 };

    // Starts the partition library.
    RecordingCatalogue();
    // Closes an open partition device and stops the library.
    ~RecordingCatalogue();
    RecordingCatalogue(const RecordingCatalogue &) = delete;
    RecordingCatalogue &operator=(const RecordingCatalogue &) = delete;

    bool addFolderName(const QString &name);
    void addExtension(const QString &extension);

    int enumerateDrives();
    const DriveEntry *driveAt(int index) const;
    const DriveEntry *selectedDriveEntry() const;

    bool selectSource(int index);

    int fillListByType(int type, RecordingListView &view);
    int fillListAll(RecordingListView &view);

    const RecordingEntry *entryAtRow(int row) const;
    const RecordingEntry *entryAt(int index) const;
    const ScannedFolder *folderAt(int index) const;
    ChannelPaths channelPaths(const RecordingEntry &entry) const;
    int entryCount() const { return int(entries.size()); }

    // Copies the partition recording of list row `row` into saveLocation as an AVI file
    // (maker blocks blanked, an unfinished recording given its index). Runs on the export
    // worker; reads the open partition device, so no selectSource may run meanwhile.
    ExportResult exportRecording(int row, const QString &saveLocation, const ExportProgress &progress = {}) const;

    // The main window, set when it initialises; while null the PC-folder source does nothing.
    QPointer<QObject> ownerWindow;
    int sourceKind = SourceNone;
    std::vector<ScannedFolder> scannedFolders;
    std::vector<RecordingEntry> entries;
    std::vector<DriveEntry> drives;
    std::vector<RecordingFolderName> folderNames;
    std::vector<const RecordingEntry *> shownRows; // into entries; valid until the next selectSource
    QStringList extensions;                        // lower case, without the dot
    bool recurseDrive = false;
    bool recursePcFolder = false;
    void *krfsDevice = nullptr;                    // device block of the open partition, or null
    int sortOrder = SortAscending;
    int selectedDrive = -1;
    QString folderPrompt = QStringLiteral("Select Folder");
    QString pcFolderLabel = QStringLiteral("Find in My Computer");

    // Shows the folder picker and returns the chosen folder, empty when cancelled. Set by
    // the UI (a plain directory chooser until the skinned picker exists).
    std::function<QString()> folderPicker;
    // The container repair run on each listed recording by fillListAll (path, side 1
    // front / 2 rear, size class 0..3): the rebuild of a missing MP4 index by default.
    std::function<bool(const QString &path, int side, int sizeClass)> repairRecording;

private:
    void closeDevice();
    bool scanFolder(ScannedFolder &folder, int folderIndex, bool recurse);
    void listPartitionFolder(ScannedFolder &folder, int folderIndex);
    void sortEntries();
    void addRow(RecordingListView &view, const RecordingEntry &entry);

    std::unique_ptr<unsigned char[]> deviceBlock; // owns what krfsDevice points to
};
