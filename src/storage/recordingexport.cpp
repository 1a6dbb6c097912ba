// The catalogue's export of one partition recording to an AVI file on the PC.
#include "recordingcatalogue.h"

#include "exportpaths.h"
#include "krfs.h"

#include <QFile>

ExportResult RecordingCatalogue::exportRecording(int row, const QString &saveLocation,
                                                 const ExportProgress &progress) const
{
    ExportResult result;
    const RecordingEntry *entry = entryAtRow(row);
    if (!entry)
        return result;
    // Files found through the file system carry all key bits: read as signed, below 1.
    if (int32_t(entry->fileKey) < 1) {
        result.status = ExportResult::NotOnPartition;
        return result;
    }
    result.outputPath = exportOutputPath(saveLocation, entry->nameNarrow);
    const ScannedFolder *folder = folderAt(entry->folderIndex);
    if (!folder) {
        result.status = ExportResult::NoFolder;
        return result;
    }
    QFile out(result.outputPath);
    if (!out.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        result.status = ExportResult::OutputNotCreated;
        return result;
    }
    // The output stays (empty) when the partition file cannot be opened, as it was created.
    result.status = ExportResult::SourceNotOpened;
    const QByteArray path = "/" + folder->nameNarrow + "/" + entry->nameNarrow;
    if (!krfsDevice || path.size() >= QZ_KRFS_PATH_MAX)
        return result;
    const int handle = QZ_KrFS_File_Open(krfsDevice, path.constData(), "r", 0, 0, entry->fileKey);
    if (handle < 1)
        return result;
    uint64_t bytesRead = 0;
    const bool copied = AviCopy::copy(
        [&](uint8_t *buffer, int capacity) {
            const int n = QZ_KrFS_File_Read(krfsDevice, buffer, capacity, handle);
            if (n > 0 && progress)
                progress(bytesRead += uint64_t(n));
            return n;
        },
        out, &result.copy);
    QZ_KrFS_File_Close(krfsDevice, handle);
    out.close();
    result.status = copied && out.error() == QFileDevice::NoError ? ExportResult::Exported : ExportResult::CopyFailed;
    return result;
}
