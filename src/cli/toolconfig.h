// The configuration the headless commands use, as the viewer would find it.
#pragma once

#include <QString>

#include <array>

class QObject;
class RecordingCatalogue;
class ViewerConfig;

namespace cli {

// The file list's type filter as the tool names it.
struct ListType {
    const char *name;
    int type; // -1: the view of all recordings, else 0 normal .. 3 user
};
inline constexpr std::array kListTypes{ListType{"all", -1}, ListType{"normal", 0}, ListType{"event", 1},
                                       ListType{"parking", 2}, ListType{"user", 3}};

// `given` when not empty; else viewerconfig.cfg next to the program; else the shipped
// default compiled into the tool. False when none loads.
bool loadToolConfig(ViewerConfig &config, const QString &given);

// Loads SOURCE into the catalogue as the selection window would: a card's mount point, a
// partition image or disk node, or any other folder as the PC folder (`owner` stands in
// for the main window). Prints why on standard error and returns false when nothing loads.
bool selectToolSource(RecordingCatalogue &catalogue, const QString &source, QObject &owner, const char *command);

} // namespace cli
