// Chooses how a channel file is read: the one place that knows where recordings live.
#pragma once

#include "gsthandle.h"

#include <QByteArray>
#include <QIODevice>

#include <memory>
#include <string>

namespace playback {

// Files on disk are read by filesrc. A recording inside the card's partition is named by
// "krfs://IMAGE_OR_DEVICE?key=N#/FOLDER/NAME" (see KrfsLocation) and read by the program's
// own pull-mode element over the partition library; the pipeline and the stream parser
// only ever ask this class.
class SourceSelector {
public:
    // A new source element for path, not yet in a bin; null when none can read it.
    static ElementHandle makeElement(const std::string &path);
    // Up to size bytes from the start of the file (fewer when it is shorter, empty when it
    // cannot be read).
    static QByteArray readHead(const std::string &path, int size);
    // The whole file opened for random-access reading, or null when it cannot be opened.
    static std::unique_ptr<QIODevice> openFile(const std::string &path);
};

} // namespace playback
