// Where exported recordings go: output names and the remembered save location (config.clm).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// SAVELOCATION/<name without its extension>.avi. The name comes from the card, so it can
// never leave the folder: separators become "_", and a name that is only dots, or empty,
// becomes "recording". Dots in the save location's folders play no part.
QString exportOutputPath(const QString &saveLocation, const QByteArray &nameNarrow);

// The remembered save location: a 2048-byte file holding the path as UTF-16LE up to a NUL.
// Kept open while the export window exists.
class ConfigClm
{
public:
    static constexpr qint64 kFileBytes = 2048;

    // Opens FOLDER/config.clm for reading and writing, creating it empty when missing.
    bool open(const QString &folder);
    // The stored location; empty when the file is empty or unreadable.
    QString saveLocation() const { return location; }
    // Rewrites the file from its start. A path that does not fit (1023 UTF-16 units and
    // the NUL) is not stored: false, and the file keeps the previous location.
    bool store(const QString &path);

private:
    QFile file;
    QString location;
};
