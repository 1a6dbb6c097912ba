// Skin bitmaps by numeric id: the resource library's (":/skin/<id>.png") and the program's own.
#pragma once

#include <QPixmap>
#include <QString>

#include "resourcelibrary.h"

// The resource library's bitmap; a null pixmap when the library is not loaded or has no
// such id.
QPixmap skinBitmap(int id);

// The program's own bitmap (compiled into the executable); a null pixmap when missing.
QPixmap ownBitmap(int id);

// Draws every bitmap of both tables of skinids.h with its id, namespace, size and role on
// one contact sheet and saves it as PNG. Needs a QGuiApplication. On failure *error (when
// given) says why.
bool renderSkinSheet(const QString &outPng, QString *error);
