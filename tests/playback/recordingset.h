// camsim recordings of one three-channel recording, written into a test's temporary folder.
#pragma once

#include "recordingwriter.h"

#include <gst/gst.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>

namespace testsupport {

// Local time of the first frame; the burned-in clock starts here.
inline QDateTime recordingStart()
{
    return QDateTime(QDate(2023, 10, 15), QTime(14, 25, 30));
}

// Writes channel `channel` (0 front, 1 second, 2 third) of a recording; empty on failure.
inline QString writeChannel(const QString &dir, const QString &name, int channel, double seconds, int rearHeight = 480,
                            camsim::Ending ending = camsim::Ending::Finished, int bitrateKbps = 0)
{
    camsim::RecordingOptions o;
    o.side = channel == 0 ? 1 : 2;
    o.channel = channel;
    o.rearHeight = rearHeight;
    o.seconds = seconds;
    o.seed = std::uint64_t(channel + 1);
    o.start = recordingStart();
    o.ending = ending;
    o.bitrateKbps = bitrateKbps;
    const QString path = QDir(dir).filePath(name);
    std::string error;
    if (!camsim::writeRecording(path.toStdString(), o, nullptr, error)) {
        qWarning("camsim: %s", error.c_str());
        return {};
    }
    return path;
}

inline QString writeBytes(const QString &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(dir).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

// A copy of the file cut to `fraction` of its length.
inline QString writeTruncated(const QString &dir, const QString &name, const QString &from, double fraction)
{
    QFile f(from);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return writeBytes(dir, name, all.left(qsizetype(double(all.size()) * fraction)));
}

// The same recording in an AVI file (video and sound, no sensor stream), as exported
// recordings are; empty on failure.
// With pcm, the sound is stored decoded (16-bit PCM).
inline QString remuxToAvi(const QString &mp4, const QString &avi, bool pcm = false)
{
    gst_init(nullptr, nullptr);
    const QString sound = pcm ? "aacparse ! avdec_aac ! audioconvert ! audio/x-raw,format=S16LE" : "aacparse";
    const QString desc = QString("filesrc location=\"%1\" ! qtdemux name=d d.video_0 ! queue ! h264parse ! avimux name=m "
                                 "! filesink location=\"%2\" d.audio_0 ! queue ! %3 ! m.")
                             .arg(mp4, avi, sound);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(desc.toUtf8().constData(), &error);
    if (!pipeline) {
        qWarning("remux: %s", error ? error->message : "no pipeline");
        g_clear_error(&error);
        return {};
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *msg = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND,
                                                 GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok ? avi : QString();
}

} // namespace testsupport
