// Chooses how a channel file is read: the one place that knows where recordings live.
#pragma once

#include "gsthandle.h"

#include <QByteArray>

#include <string>

namespace playback {

// Files on disk are read by filesrc. A recording inside the card's partition will get the
// partition library's pull-mode source element here (its front path is the name on the
// partition); the pipeline and the stream parser only ever ask this class.
class SourceSelector {
public:
    // A new source element for path, not yet in a bin; null when none can read it.
    static ElementHandle makeElement(const std::string &path);
    // Up to size bytes from the start of the file (fewer when it is shorter, empty when it
    // cannot be read).
    static QByteArray readHead(const std::string &path, int size);
};

} // namespace playback
