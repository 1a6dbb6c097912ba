// The configuration the headless commands use, as the viewer would find it.
#pragma once

#include <QString>

class ViewerConfig;

namespace cli {

// `given` when not empty; else viewerconfig.cfg next to the program; else the shipped
// default compiled into the tool. False when none loads.
bool loadToolConfig(ViewerConfig &config, const QString &given);

} // namespace cli
