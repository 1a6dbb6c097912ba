// The skin bundle ResourceDll.rcc: a binary Qt resource file, checked before Qt reads it.
#pragma once

#include <QByteArrayView>
#include <QString>

// True when every part of the file that a resource lookup can reach lies inside it: the
// header, each tree node reachable from the root, each node's name and each file's data.
// Qt follows these offsets without bounds checks, so a truncated or damaged resource
// library would otherwise crash the first bitmap lookup.
bool isWellFormedResourceFile(QByteArrayView data);

// Registers the resource library (a binary Qt resource file, ResourceDll.rcc) so that
// skinBitmap() finds its images. False when the file is missing, damaged or not a
// resource file.
bool loadResourceLibrary(const QString &rccPath);
