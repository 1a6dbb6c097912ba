// Skin bitmaps by numeric id: the resource library's (":/skin/<id>.png") and the program's own.
#pragma once

#include <QPixmap>

QPixmap skinBitmap(int id);
QPixmap ownBitmap(int id);
