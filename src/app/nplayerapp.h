// The application's start-up: one instance, the skin bundle, the configuration, then the
// main window run modally; the process ends when that window closes.
#pragma once

#include <QString>

#include <functional>

class SingleInstance;

class CQZ_NPlayerApp
{
public:
    struct Options {
        QString appDir;       // the executable's folder: skin bundle and configuration
        QString instanceName; // the single-instance server name
    };

    static Options defaultOptions();

    // Runs the start-up sequence and then `runMainWindow`, whose result becomes the exit
    // code. A second instance asks the first to come forward and returns 0 at once; a
    // missing skin bundle shows "Not Find ResourceDll" and returns 1.
    static int InitInstance(const Options &options, const std::function<int(SingleInstance &)> &runMainWindow);
};
