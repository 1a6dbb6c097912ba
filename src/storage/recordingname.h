// The recording file name grammar: YYYYMMDD_HHMMSS_{1,2,3}CH_{N,E,P,U}_{F,R1,R2}.mp4, and
// what the list views derive from a name (type, side, channel count, row texts, sort key).
// Names that break the grammar are still classified, by the same substring rules.
#pragma once

#include <QString>
#include <QStringList>

namespace recname {

// Type letters in classification order, with their list texts.
enum Type : int { TypeNormal = 0, TypeEvent = 1, TypeParking = 2, TypeUser = 3, TypeNone = -1 };

// The "_"-separated fields of a name (at least one).
QStringList fields(const QString &name);

// The first of the single letters N, E, P, U (searched in that order) found anywhere in
// the name; TypeNone without any.
int typeLetter(const QString &name);
// "NOR", "EVT", "MOT", "USR", or "NONE".
QString typeText(int type);

// For the view of all recordings: 1..4 from "_N_", "_E_", "_P_", "_U_" (0 none);
// side 1 front ("_F"), 2 rear ("_R"), 0 none; channels 3, 2, 1 from "3CH", "2CH", "1CH".
int allViewType(const QString &name);
int side(const QString &name);
int channelCount(const QString &name);

// Field 4 is exactly "R1.mp4" or "R2.mp4": a rear channel's file, never a row of its own.
bool isRearFile(const QString &name);
// The first five fields exist and are non-empty.
bool hasFiveFields(const QString &name);

// Field 0 followed by field 1 (date then time); the whole name when it has no "_".
QString sortKey(const QString &name);

// The leading decimal digits of a field as a number (0 when it has none), saturating.
int fieldNumber(const QString &field);
// "%04d-%02d-%02d" from field 0 and "%02d:%02d:%02d" from field 1.
QString dateText(const QString &name);
QString timeText(const QString &name);

// Size class handed to the container repair, from the size in MiB and the all-view type
// (1 normal: 60+ -> 3, 50..59 -> 0, 30..49 -> 1, under 30 -> 2; other types: 30+ -> 3,
// 25..29 -> 0, 15..24 -> 1, under 15 -> 2).
int sizeClass(int allViewType, qint64 sizeKiB);

} // namespace recname
