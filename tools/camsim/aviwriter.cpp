#include "aviwriter.h"

#include "audioencoder.h"
#include "drive.h"
#include "recordingindex.h"
#include "scene.h"
#include "videoencoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <optional>
#include <random>

namespace camsim {

namespace {

// The camera's clock (file names, burned-in time) runs 9 h ahead of its GPS time.
constexpr int kUtcOffsetSeconds = 9 * 3600;
constexpr std::uint32_t kKeyFrame = 0x10;      // idx1 flag
constexpr std::uint32_t kAvifHasIndex = 0x10;  // avih flags
constexpr std::uint32_t kAvifInterleaved = 0x100;
constexpr std::size_t kFirstChunkOffset = 0x1000; // the header is padded so the media starts here
constexpr std::uint32_t kSensorMakerBytes = 56;   // maker data after each sensor record
constexpr std::uint64_t kStraddleBefore = 100;    // the straddling block starts this far before its offset
constexpr std::uint32_t kStraddleSpan = 300;
constexpr std::uint32_t kMaxMakerSpan = 60000;    // a block's length field holds 16 bits
constexpr std::uint32_t kAudioBytesPerSecond = 3000; // the encoder's 24 kbit/s

class LeWriter {
public:
    void u16(std::uint32_t v) { put(v, 2); }
    void u32(std::uint32_t v) { put(v, 4); }
    void code(const char (&c)[5]) { b.insert(b.end(), c, c + 4); }
    void bytes(std::span<const std::uint8_t> s) { b.insert(b.end(), s.begin(), s.end()); }
    void zeros(std::size_t n) { b.insert(b.end(), n, 0); }
    // A chunk's id and a size field patched by end().
    std::size_t begin(const char (&id)[5])
    {
        code(id);
        u32(0);
        return b.size() - 4;
    }
    std::size_t beginList(const char (&type)[5])
    {
        const std::size_t at = begin("LIST");
        code(type);
        return at;
    }
    void end(std::size_t sizeField)
    {
        patch(sizeField, std::uint32_t(b.size() - sizeField - 4));
        if (b.size() & 1)
            b.push_back(0);
    }
    void patch(std::size_t at, std::uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            b[at + std::size_t(k)] = std::uint8_t(v >> (8 * k));
    }
    std::size_t size() const { return b.size(); }
    Bytes b;

private:
    void put(std::uint32_t v, int n)
    {
        for (int k = 0; k < n; ++k)
            b.push_back(std::uint8_t(v >> (8 * k)));
    }
};

// What the header states about the streams: the true values once finished, the values of
// the camera's last header update (after the first second) when the power went.
struct HeaderValues {
    std::uint32_t front = 0, rear = 0, audio = 0, text = 0; // chunks
    std::uint32_t audioHalfBytes = 0; // sound length in 2-byte units
    std::uint32_t largestFront = 0, largestRear = 0, largestAudio = 0, largestText = 0;
    std::uint32_t moviSize = 4;
    std::uint64_t bytes = 0; // media bytes so far
};

int widthFor(int height)
{
    return height >= 1080 ? 1920 : height >= 720 ? 1280 : 720;
}

int defaultKbps(int height)
{
    return height >= 1080 ? 3000 : height >= 720 ? 1500 : 800;
}

// A maker block: its code, a 32-bit length and that many bytes; the length's low 16 bits
// plus 8 give the span an export blanks.
void makerBlock(LeWriter &w, const char (&code)[5], std::uint32_t dataBytes, std::mt19937 &rng)
{
    w.code(code);
    w.u32(dataBytes);
    for (std::uint32_t i = 0; i < dataBytes; ++i)
        w.b.push_back(std::uint8_t('a' + rng() % 26)); // letters: never a chunk or maker code by chance
}

void streamHeader(LeWriter &w, const char (&type)[5], const char (&handler)[5], std::uint32_t scale,
                  std::uint32_t rate, std::uint32_t length, std::uint32_t bufferSize, std::uint32_t sampleSize,
                  int width, int height)
{
    const std::size_t strh = w.begin("strh");
    w.code(type);
    w.code(handler);
    w.u32(0); // flags
    w.u32(0); // priority, language
    w.u32(0); // initial frames
    w.u32(scale);
    w.u32(rate);
    w.u32(0); // start
    w.u32(length);
    w.u32(bufferSize);
    w.u32(0xFFFFFFFF); // quality: default
    w.u32(sampleSize); // 0: every chunk is one sample
    w.u16(0);
    w.u16(0);
    w.u16(std::uint32_t(width));
    w.u16(std::uint32_t(height));
    w.end(strh);
}

void videoStream(LeWriter &w, std::uint32_t rate, std::uint32_t length, std::uint32_t bufferSize, int width,
                 int height)
{
    const std::size_t strl = w.beginList("strl");
    streamHeader(w, "vids", "H264", kAviRateScale, rate, length, bufferSize, 0, width, height);
    const std::size_t strf = w.begin("strf");
    w.u32(40);
    w.u32(std::uint32_t(width));
    w.u32(std::uint32_t(height));
    w.u16(1);  // planes
    w.u16(24); // bits per pixel
    w.code("H264");
    w.u32(std::uint32_t(width * height * 3));
    w.zeros(16);
    w.end(strf);
    w.end(strl);
}

Bytes header(const HeaderValues &v, int frontW, int frontH, int rearW, int rearH, double seconds,
             std::uint32_t settingsSeed)
{
    LeWriter w;
    w.code("RIFF");
    w.u32(0);
    w.code("AVI ");
    const std::size_t hdrl = w.beginList("hdrl");
    const std::size_t avih = w.begin("avih");
    w.u32(std::uint32_t(1000000ull * kAviRateScale / kAviFrontRate)); // µs per frame
    w.u32(std::uint32_t(double(v.bytes) / std::max(seconds, 1.0)));    // bytes per second
    w.u32(0);
    w.u32(kAvifHasIndex | kAvifInterleaved);
    w.u32(v.front + v.rear); // total frames, both video streams (file offset 48)
    w.u32(0);
    w.u32(4); // streams
    w.u32(std::max({v.largestFront, v.largestRear, v.largestAudio, v.largestText}));
    w.u32(std::uint32_t(frontW));
    w.u32(std::uint32_t(frontH));
    w.zeros(16);
    w.end(avih);
    videoStream(w, kAviFrontRate, v.front, v.largestFront, frontW, frontH);
    videoStream(w, kAviRearRate, v.rear, v.largestRear, rearW, rearH);

    std::size_t strl = w.beginList("strl");
    // The sound is declared at its byte rate in 2-byte units: its length is the bytes / 2.
    streamHeader(w, "auds", "\0\0\0\0", 1, kAudioBytesPerSecond / 2, v.audioHalfBytes, v.largestAudio, 2, 0, 0);
    std::size_t strf = w.begin("strf");
    w.u16(0x00FF); // raw AAC
    w.u16(2);
    w.u32(kAudioRate);
    w.u32(kAudioBytesPerSecond);
    w.u16(2); // block align
    w.u16(16);
    w.u16(2);
    w.bytes(std::array<std::uint8_t, 2>{0x14, 0x10}); // AAC LC, 16 kHz, stereo
    w.end(strf);
    w.end(strl);

    strl = w.beginList("strl");
    streamHeader(w, "txts", "\0\0\0\0", kAviRateScale, kAviTextRate, v.text, v.largestText, 0, 0, 0);
    strf = w.begin("strf");
    w.zeros(4);
    w.end(strf);
    w.end(strl);
    w.end(hdrl);

    // The camera's settings block sits in the padding before the media.
    std::mt19937 rng(settingsSeed);
    const std::size_t junk = w.begin("JUNK");
    makerBlock(w, "LBMS", 200, rng);
    w.zeros(kFirstChunkOffset - 12 - w.size());
    w.end(junk);
    return w.b;
}

void addGrain(Picture &pic, int level, std::minstd_rand &rng)
{
    for (std::uint8_t &y : pic.y)
        y = std::uint8_t(std::clamp(int(y) + int(rng() % std::uint32_t(2 * level + 1)) - level, 0, 255));
}

struct IndexEntry {
    std::array<std::uint8_t, 4> id;
    std::uint32_t flags, offset, size;
};

// The media list under construction: chunks appended at their file offsets, the index
// the camera keeps for them, and the counts.
class Movi {
public:
    explicit Movi(std::uint64_t makerAt, std::uint32_t seed) : m_makerAt(makerAt), m_rng(seed) {}

    std::uint64_t filePos() const { return kFirstChunkOffset + w.size(); }

    void chunk(const char (&id)[5], std::span<const std::uint8_t> payload, std::uint32_t flags)
    {
        straddleBefore(8 + payload.size() + (payload.size() & 1));
        put(id, payload, flags);
    }

    HeaderValues values;
    std::uint64_t makerSpanStart = 0;
    LeWriter w;
    std::vector<IndexEntry> index;

private:
    void put(const char (&id)[5], std::span<const std::uint8_t> payload, std::uint32_t flags)
    {
        IndexEntry e{{std::uint8_t(id[0]), std::uint8_t(id[1]), std::uint8_t(id[2]), std::uint8_t(id[3])}, flags,
                     std::uint32_t(values.moviSize), std::uint32_t(payload.size())};
        index.push_back(e);
        const std::size_t at = w.begin(id);
        w.bytes(payload);
        w.end(at);
        values.moviSize += std::uint32_t(8 + payload.size() + (payload.size() & 1));
        values.bytes += payload.size();
        const auto size = std::uint32_t(payload.size());
        const auto count = [&](std::uint32_t &n, std::uint32_t &largest) {
            ++n;
            largest = std::max(largest, size);
        };
        if (id[1] == '0')
            count(values.front, values.largestFront);
        else if (id[1] == '1')
            count(values.rear, values.largestRear);
        else if (id[1] == '2') {
            count(values.audio, values.largestAudio);
            values.audioHalfBytes += size / 2;
        }
        else
            count(values.text, values.largestText);
    }

    // When the next chunk would pass the maker offset, the camera's maker data goes first:
    // a text chunk of maker blocks whose last block spans that offset.
    void straddleBefore(std::uint64_t nextChunkBytes)
    {
        if (m_makerAt == 0 || makerSpanStart != 0)
            return;
        const std::uint64_t pos = filePos();
        if (pos + 8 + kStraddleBefore > m_makerAt) { // too late to place one before the offset
            m_makerAt = 0;
            return;
        }
        if (pos + nextChunkBytes + 8 + kStraddleBefore <= m_makerAt)
            return;
        LeWriter data;
        std::uint64_t fill = m_makerAt - kStraddleBefore - (pos + 8);
        std::uint32_t lastSpan = kStraddleSpan;
        if (fill < 8) { // no room for a block of its own: the spanning block starts earlier
            lastSpan += std::uint32_t(fill);
            fill = 0;
        }
        while (fill > 0) {
            // Blocks of at least 8 bytes; a remainder too small for one joins the previous.
            std::uint64_t span = std::min<std::uint64_t>(fill, kMaxMakerSpan);
            if (fill - span > 0 && fill - span < 8)
                span -= 8;
            makerBlock(data, "LBDJ", std::uint32_t(span - 8), m_rng);
            fill -= span;
        }
        makerSpanStart = pos + 8 + data.size();
        makerBlock(data, "LBDJ", lastSpan - 8, m_rng);
        put("03tx", data.b, kKeyFrame);
    }

    std::uint64_t m_makerAt;
    std::mt19937 m_rng;
};

} // namespace

bool buildAviRecording(const AviOptions &o, Bytes &file, AviInfo *info, std::string &error)
{
    const auto validHeight = [](int h) { return h == 1080 || h == 720 || h == 480; };
    if (!validHeight(o.frontHeight) || !validHeight(o.rearHeight) || o.seconds <= 0 || !o.start.isValid()) {
        error = "bad recording options";
        return false;
    }
    struct Channel {
        Channel(int h, std::uint32_t r) : width(widthFor(h)), height(h), rate(r) {}
        int width, height;
        std::uint32_t rate;
        VideoEncoder encoder;
        int frames = 0, next = 0;
        std::unique_ptr<Picture> pic;
        SceneParams scene;
        double frameMs(int k) const { return k * 1000.0 * kAviRateScale / rate; }
    };
    Channel channels[2] = {{o.frontHeight, kAviFrontRate}, {o.rearHeight, kAviRearRate}};
    const char *typeName = o.type == 'E' ? "EVT" : o.type == 'P' ? "MOT" : o.type == 'U' ? "USR" : "NOR";
    for (int c = 0; c < 2; ++c) {
        Channel &ch = channels[c];
        VideoSettings vs;
        vs.width = ch.width;
        vs.height = ch.height;
        vs.fpsNum = int(ch.rate);
        vs.fpsDen = int(kAviRateScale);
        const int kbps = c == 0 ? o.frontKbps : o.rearKbps;
        vs.bitrateKbps = kbps > 0 ? kbps : defaultKbps(ch.height);
        vs.keyint = 30;
        if (!ch.encoder.open(vs)) {
            error = ch.encoder.error();
            return false;
        }
        while (ch.frameMs(ch.frames) < o.seconds * 1000)
            ++ch.frames;
        ch.pic = std::make_unique<Picture>(ch.width, ch.height);
        ch.scene.channel = c;
        ch.scene.label = std::string(c == 0 ? "FRONT " : "REAR 1 ") + typeName;
    }

    std::vector<Bytes> audioFrames;
    const int audioCount = o.audio ? int(std::ceil(o.seconds * kAudioRate / kAudioFrameSamples)) : 0;
    if (!encodeAudio(audioCount, audioFrames, error))
        return false;
    const int sensorCount = o.sensor ? int(std::ceil(o.seconds)) : 0;

    Drive drive(o.seed);
    const int impactSecond = o.type == 'E' ? int(o.seconds / 2) : -1;
    const QDateTime gpsStart = QDateTime(o.start.date(), o.start.time(), Qt::UTC).addSecs(-kUtcOffsetSeconds);
    std::mt19937 makerRng(std::uint32_t(o.seed * 7919 + 1));
    std::minstd_rand grainRng(std::uint32_t(o.seed));
    Movi movi(o.makerAt, std::uint32_t(o.seed));
    std::optional<HeaderValues> afterFirstSecond;
    std::size_t nextAudio = 0;
    int nextSensor = 0;
    const std::span<const std::uint8_t> pps = storage::cameraPps();
    const Bytes startCode{0, 0, 0, 1};
    Bytes slice;
    for (;;) {
        // The next chunk in time; at equal times sensor record, front, rear, sound.
        const double inf = 1e300;
        const double tSensor = nextSensor < sensorCount ? nextSensor * 1000.0 : inf;
        const double tFront = channels[0].next < channels[0].frames ? channels[0].frameMs(channels[0].next) : inf;
        const double tRear = channels[1].next < channels[1].frames ? channels[1].frameMs(channels[1].next) : inf;
        const double tAudio = nextAudio < audioFrames.size() ? nextAudio * 1000.0 * kAudioFrameSamples / kAudioRate : inf;
        const double t = std::min({tSensor, tFront, tRear, tAudio});
        if (t == inf)
            break;
        if (!afterFirstSecond && t >= 1000)
            afterFirstSecond = movi.values;
        if (t == tSensor) {
            DriveFix fix = drive.at(nextSensor);
            if (nextSensor == impactSecond) {
                fix.ax = 110;
                fix.ay = -125;
                fix.az = 90;
            }
            LeWriter record;
            record.bytes(gpsSensorRecord(fix, gpsStart.addSecs(nextSensor)));
            makerBlock(record, "LBDJ", kSensorMakerBytes, makerRng);
            movi.chunk("03tx", record.b, kKeyFrame);
            ++nextSensor;
        } else if (t == tFront || t == tRear) {
            const int c = t == tFront ? 0 : 1;
            Channel &ch = channels[c];
            const double ms = ch.frameMs(ch.next);
            ch.scene.speedKmh = drive.at(int(ms / 1000)).speedKmh;
            const std::string clock = o.start.addMSecs(std::int64_t(ms)).toString("yyyy-MM-dd HH:mm:ss.zzz").toStdString();
            drawScene(*ch.pic, ch.scene, ms, clock);
            if (o.grain > 0)
                addGrain(*ch.pic, o.grain, grainRng);
            if (!ch.encoder.encode(*ch.pic, slice)) {
                error = ch.encoder.error();
                return false;
            }
            // Annex B; every IDR picture carries the parameter sets before it.
            const bool idr = slice[0] == 0x65;
            LeWriter payload;
            if (idr) {
                payload.bytes(startCode);
                payload.bytes(storage::cameraSps({ch.width, ch.height}));
                payload.bytes(startCode);
                payload.bytes(pps);
            }
            payload.bytes(startCode);
            payload.bytes(slice);
            movi.chunk(c == 0 ? "00dc" : "01dc", payload.b, idr ? kKeyFrame : 0);
            ++ch.next;
        } else {
            movi.chunk("02wb", audioFrames[nextAudio], kKeyFrame);
            ++nextAudio;
        }
    }

    const HeaderValues &stated = o.finished ? movi.values : afterFirstSecond.value_or(HeaderValues{});
    LeWriter out;
    out.b = header(stated, channels[0].width, channels[0].height, channels[1].width, channels[1].height,
                   o.seconds, std::uint32_t(o.seed));
    const std::size_t moviList = out.beginList("movi");
    out.bytes(movi.w.b);
    out.patch(moviList, stated.moviSize);
    if (o.finished) {
        const std::size_t idx1 = out.begin("idx1");
        for (const IndexEntry &e : movi.index) {
            out.bytes(e.id);
            out.u32(e.flags);
            out.u32(e.offset);
            out.u32(e.size);
        }
        out.end(idx1);
        out.patch(4, std::uint32_t(out.size() - 8));
    }
    if (!o.finished)
        out.b.resize(out.size() - std::min<std::size_t>(o.cutBytes, movi.w.size()));
    if (info) {
        info->frontFrames = movi.values.front;
        info->rearFrames = movi.values.rear;
        info->audioFrames = movi.values.audio;
        info->textChunks = movi.values.text;
        info->makerSpanStart = movi.makerSpanStart;
        info->fileSize = out.size();
    }
    file = std::move(out.b);
    return true;
}

bool writeAviRecording(const std::filesystem::path &path, const AviOptions &options, AviInfo *info,
                       std::string &error)
{
    Bytes file;
    if (!buildAviRecording(options, file, info, error))
        return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(file.data()), std::streamsize(file.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

} // namespace camsim
