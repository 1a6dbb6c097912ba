// merido-tool sensors: the sensor records of a recording as the sensor worker decodes them.
#include "commands.h"

#include "sensortrack.h"
#include "zobrtextdata.h"

#include <cmath>
#include <cstdio>

namespace {

// The worker's timeline: each record that decodes moves the time on by 1000 ms.
constexpr int kRecordIntervalMs = 1000;

void printGps(const storage::CZOBRGPSData &g)
{
    std::printf("GPS,%d,%d,%d,%d,%d,%d,%d,%d,%.4f,%.4f,%.2f,%.1f\n", g.timeMs, g.year, g.month, g.day, g.hour,
                g.minute, g.second, g.valid, g.latitude, g.longitude, g.speedKmh, g.course);
}

void printGpxPoint(const storage::CZOBRGPSData &g)
{
    // Records carry UTC + 9 h in their hour without a date change: back to UTC.
    std::printf("      <trkpt lat=\"%.7f\" lon=\"%.7f\"><time>20%02d-%02d-%02dT%02d:%02d:%02dZ</time></trkpt>\n",
                storage::nmeaToDegrees(g.latitude), storage::nmeaToDegrees(g.longitude), g.year, g.month, g.day,
                g.hour - 9, g.minute, g.second);
}

} // namespace

int cli::cmdSensors(const QStringList &args)
{
    QString file;
    bool gpx = false;
    for (const QString &a : args) {
        if (a == "--gpx")
            gpx = true;
        else if (a == "--csv")
            gpx = false;
        else if (a.startsWith("--") || !file.isEmpty())
            return usageError("sensors", "unexpected argument " + a);
        else
            file = a;
    }
    if (file.isEmpty())
        return usageError("sensors", "no file given");

    std::string error;
    const auto records = storage::readSensorRecords(file.toStdString(), error);
    if (!records) {
        std::fprintf(stderr, "merido-tool sensors: %s: %s\n", qPrintable(file), error.c_str());
        return 1;
    }
    if (gpx)
        std::printf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<gpx version=\"1.1\" creator=\"merido-tool\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                    "  <trk>\n    <name>%s</name>\n    <trkseg>\n",
                    qPrintable(QString(file).toHtmlEscaped()));

    storage::CZOBRTextData store;
    int timeMs = 0;
    for (const QByteArray &record : *records) {
        const std::size_t gpsBefore = store.gpsRecordCount();
        const std::size_t gBefore = store.gSampleCount();
        if (store.decodeSensorRecord(record, timeMs) == -1)
            continue;
        timeMs += kRecordIntervalMs;
        // One record adds its GPS record before its G sample.
        const auto gps = store.gpsRecords();
        for (std::size_t i = gpsBefore; i < gps.size(); ++i) {
            if (!gpx)
                printGps(gps[i]);
            else if (gps[i].valid)
                printGpxPoint(gps[i]);
        }
        if (gpx)
            continue;
        const auto samples = store.gSamples();
        for (std::size_t i = gBefore; i < samples.size(); ++i) {
            const auto &s = samples[i];
            std::printf("G,%d,%d,%d,%d,%d\n", s.timeMs, s.x, s.y, s.z, s.kind);
        }
    }
    if (gpx)
        std::printf("    </trkseg>\n  </trk>\n</gpx>\n");
    return 0;
}
