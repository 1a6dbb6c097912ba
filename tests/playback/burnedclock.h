// Reads the date and time camsim burns into the bottom-left corner of every picture.
#pragma once

#include <QDateTime>
#include <QImage>

namespace testsupport {

// The clock text of a decoded picture ("yyyy-MM-dd HH:mm:ss.zzz"), or an invalid time when
// it cannot be read. The picture must be upright and at its native size.
QDateTime readBurnedClock(const QImage &picture);

} // namespace testsupport
