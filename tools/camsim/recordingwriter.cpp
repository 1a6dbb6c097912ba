#include "recordingwriter.h"

#include "audioencoder.h"
#include "bytereader.h"
#include "containerrepair.h"
#include "drive.h"
#include "scene.h"
#include "videoencoder.h"

#include <cmath>
#include <cstdio>
#include <fstream>

namespace camsim {

namespace {

using storage::fourcc;

// UTC is the local time of the file names minus 9 hours.
constexpr int kUtcOffsetSeconds = 9 * 3600;
constexpr std::uint64_t kMaxAudioFrame = 513; // what the repair's search after a frame can reach

// ftyp (32 bytes) and a free box (8): the 40-byte preamble before the media data.
storage::ByteWriter preamble()
{
    storage::ByteWriter w;
    const auto ftyp = w.beginBox(fourcc("ftyp"));
    w.u32(fourcc("isom"));
    w.u32(0x200);
    for (auto brand : {fourcc("isom"), fourcc("iso2"), fourcc("avc1"), fourcc("mp41")})
        w.u32(brand);
    w.endBox(ftyp);
    w.endBox(w.beginBox(fourcc("free")));
    return w;
}

// Whether a scan would misread bytes inside an audio frame as the start of a record.
bool audioFrameIsAmbiguous(const Bytes &frame)
{
    if (frame.empty() || frame[0] != 0x21 || frame.size() > kMaxAudioFrame || frame.size() < 8)
        return true;
    const storage::ByteReader b(frame);
    for (std::size_t i = 8; i < frame.size(); ++i) {
        if (b.at(i) == 0 && ((b.at(i + 4) == 0x41 && b.at(i + 5) == 0xE0)
                             || (b.at(i + 4) == 0x65 && b.at(i + 5) == 0xB8 && b.at(i + 6) == 0 && i + 6 < b.size())))
            return true;
        if (b.at(i) == 'G' && (b.matchAt(i + 1, "$GPRMC") || b.matchAt(i + 1, "XYZ")))
            return true;
    }
    return false;
}

int defaultBitrate(int height)
{
    return height >= 1080 ? 3000 : height >= 720 ? 1500 : 800; // kbit/s
}

std::string channelLabel(int channel, char type)
{
    static const char *names[] = {"FRONT", "REAR 1", "REAR 2"};
    const char *typeName = type == 'E' ? "EVT" : type == 'P' ? "MOT" : type == 'U' ? "USR" : "NOR";
    return std::string(names[std::clamp(channel, 0, 2)]) + " " + typeName;
}

class MediaBuilder {
public:
    explicit MediaBuilder(std::uint64_t start) : m_pos(start) {}

    void video(const Bytes &nal, bool idr)
    {
        if (!m_inChunk) {
            t.videoChunks.push_back(std::uint32_t(m_pos));
            m_inChunk = true;
        }
        ++m_inRun;
        storage::ByteWriter w;
        w.u32(std::uint32_t(nal.size()));
        append(w.data());
        append(nal);
        t.videoSizes.push_back(std::uint32_t(nal.size() + 4));
        if (idr)
            t.syncSamples.push_back(std::uint32_t(t.videoSizes.size()));
    }
    void audio(const Bytes &frame)
    {
        closeRun();
        t.audioChunks.push_back(std::uint32_t(m_pos));
        t.audioSizes.push_back(std::uint32_t(frame.size()));
        append(frame);
    }
    void sensor(const Bytes &record)
    {
        closeRun();
        t.sensorChunks.push_back(std::uint32_t(m_pos));
        t.sensorSizes.push_back(std::uint32_t(record.size()));
        append(record);
    }
    storage::MediaTables finish()
    {
        closeRun();
        return t;
    }
    std::uint64_t pos() const { return m_pos; }
    Bytes &data() { return m_data; }
    std::size_t lastRecordSize() const { return m_lastSize; }

private:
    void append(std::span<const std::uint8_t> b)
    {
        m_data.insert(m_data.end(), b.begin(), b.end());
        m_pos += b.size();
        m_lastSize = b.size();
    }
    void closeRun()
    {
        m_inChunk = false;
        if (m_inRun == 0)
            return;
        if (t.videoRuns.empty() || t.videoRuns.back().samplesPerChunk != m_inRun)
            t.videoRuns.push_back({std::uint32_t(t.videoChunks.size()), m_inRun, 1});
        m_inRun = 0;
    }

    storage::MediaTables t;
    Bytes m_data;
    std::uint64_t m_pos;
    std::uint32_t m_inRun = 0;
    bool m_inChunk = false;
    std::size_t m_lastSize = 0;
};

} // namespace

std::uint32_t frameTicks(int side, int frame)
{
    if (frame <= 0)
        return 0;
    return std::uint32_t(storage::videoTicks(side, std::size_t(frame)));
}

bool writeRecording(const std::filesystem::path &path, const RecordingOptions &o, RecordingInfo *info,
                    std::string &error)
{
    const bool front = o.side == storage::kSideFront;
    const int height = front ? 1080 : (o.rearHeight == 720 ? 720 : 480);
    const int width = front ? 1920 : (height == 720 ? 1280 : 720);
    const std::uint32_t timescale = storage::videoTimescale(o.side);
    const double limitTicks = o.seconds * timescale;

    // Frames whose start lies within the recording.
    int frames = 0;
    while (frameTicks(o.side, frames) < limitTicks)
        ++frames;
    const auto frameMs = [&](int k) { return double(frameTicks(o.side, k)) * 1000.0 / timescale; };

    VideoEncoder encoder;
    VideoSettings vs;
    vs.width = width;
    vs.height = height;
    vs.fpsNum = int(timescale);
    vs.fpsDen = 512;
    vs.bitrateKbps = o.bitrateKbps > 0 ? o.bitrateKbps : defaultBitrate(height);
    vs.keyint = 30;
    if (!encoder.open(vs)) {
        error = encoder.error();
        return false;
    }

    std::vector<Bytes> audioFrames;
    const int audioCount = o.audio ? int(std::ceil(o.seconds * kAudioRate / kAudioFrameSamples)) : 0;
    if (!encodeAudio(audioCount, audioFrames, error))
        return false;

    Drive drive(o.seed);
    const int impactSecond = o.type == 'E' ? int(o.seconds / 2) : -1;
    const QDateTime gpsStart =
        QDateTime(o.start.date(), o.start.time(), Qt::UTC).addSecs(-kUtcOffsetSeconds);

    MediaBuilder media(storage::kFirstRecordOffset);
    Picture pic(width, height);
    SceneParams scene;
    scene.channel = o.channel;
    scene.label = channelLabel(o.channel, o.type);
    std::size_t nextAudio = 0;
    int nextSensor = 0;
    Bytes nal;
    for (int k = 0; k < frames; ++k) {
        const double ms = frameMs(k);
        scene.speedKmh = drive.at(int(ms / 1000)).speedKmh;
        const QDateTime clock = o.start.addMSecs(std::int64_t(ms));
        const std::string clockText = clock.toString("yyyy-MM-dd HH:mm:ss.zzz").toStdString();
        drawScene(pic, scene, ms, clockText);
        if (!encoder.encode(pic, nal)) {
            error = encoder.error();
            return false;
        }
        media.video(nal, nal[0] == 0x65);
        // Every other record follows a video sample, and the last record is one: a repair
        // finds an audio frame's end only at the record after it.
        if (k == frames - 1)
            break;
        if (o.sensor && nextSensor * 1000.0 <= ms) {
            DriveFix fix = drive.at(nextSensor);
            if (nextSensor == impactSecond) {
                fix.ax = 110;
                fix.ay = -125;
                fix.az = 90;
            }
            media.sensor(gpsSensorRecord(fix, gpsStart.addSecs(nextSensor)));
            ++nextSensor;
        }
        if (nextAudio < audioFrames.size() && nextAudio * 64.0 <= ms) {
            // The rare frame whose bytes a scan would misread is left out, as the camera
            // cannot write it either.
            if (!audioFrameIsAmbiguous(audioFrames[nextAudio]))
                media.audio(audioFrames[nextAudio]);
            ++nextAudio;
        }
    }
    const std::uint64_t mediaEnd = media.pos();
    const storage::MediaTables tables = media.finish();
    const int sizeClass = front ? 3 : height == 720 ? 1 : 2;

    storage::ByteWriter head = preamble();
    const std::uint64_t mediaSize = mediaEnd - storage::kMediaDataOffset;
    head.u32(o.ending == Ending::PowerCut ? 0 : std::uint32_t(mediaSize));
    head.u32(fourcc("mdat"));
    Bytes &body = media.data();
    std::uint64_t fileSize = mediaEnd;
    if (o.ending == Ending::PowerCut) {
        // Cut inside the last record, leaving at least its 8-byte header.
        const std::size_t last = media.lastRecordSize();
        const std::size_t cut = last > 8 ? std::size_t(o.seed % (last - 8)) : 0;
        body.resize(body.size() - cut);
        fileSize -= cut;
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(head.data().data()), std::streamsize(head.size()));
    out.write(reinterpret_cast<const char *>(body.data()), std::streamsize(body.size()));
    if (o.ending == Ending::Finished) {
        const auto index = storage::buildIndex(tables, o.side, sizeClass);
        out.write(reinterpret_cast<const char *>(index.data()), std::streamsize(index.size()));
        fileSize += index.size();
    }
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    if (info) {
        info->tables = tables;
        info->sizeClass = sizeClass;
        info->width = width;
        info->height = height;
        info->mediaEnd = mediaEnd;
        info->fileSize = fileSize;
    }
    return true;
}

} // namespace camsim
