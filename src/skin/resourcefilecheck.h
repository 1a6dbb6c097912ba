// Checks a binary Qt resource file (rcc --binary) before Qt is allowed to read it.
#pragma once

#include <QByteArrayView>

// True when every part of the file that a resource lookup can reach lies inside it: the
// header, each tree node reachable from the root, each node's name and each file's data.
// Qt follows these offsets without bounds checks, so a truncated or damaged resource
// library would otherwise crash the first bitmap lookup.
bool isWellFormedResourceFile(QByteArrayView data);
