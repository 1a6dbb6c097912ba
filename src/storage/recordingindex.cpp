#include "recordingindex.h"

#include "bytereader.h"

#include <array>

namespace storage {

namespace {

constexpr std::uint32_t kMovieTimescale = 1000; // ms
constexpr std::uint32_t kAudioTimescale = 16000; // Hz
constexpr std::uint32_t kAudioFrameSamples = 1024;
constexpr std::uint32_t kAudioFrameMs = 64; // 1024 samples at 16 kHz
constexpr std::uint32_t kSensorTimescale = 90000;
constexpr std::uint32_t kSensorEntryMs = 64; // what the camera declares per sensor record
constexpr std::uint16_t kLanguage = 0x55C4;  // "und"
constexpr std::uint32_t kBitrate = 24000;

constexpr std::array<std::uint32_t, 9> kIdentityMatrix{0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};

constexpr std::array<std::uint8_t, 27> kSps1080{0x67, 0x64, 0x00, 0x33, 0xAC, 0x1B, 0x1A, 0x80, 0x78,
                                                0x02, 0x27, 0xE5, 0x84, 0x00, 0x00, 0x03, 0x00, 0x04,
                                                0x00, 0x00, 0x03, 0x00, 0xF2, 0x3C, 0x50, 0xAA, 0x80};
constexpr std::array<std::uint8_t, 25> kSps720{0x67, 0x64, 0x00, 0x33, 0xAC, 0x1B, 0x1A, 0x80, 0x50,
                                               0x05, 0xBA, 0x10, 0x00, 0x00, 0x03, 0x00, 0x10, 0x00,
                                               0x00, 0x03, 0x03, 0xC8, 0xF1, 0x42, 0xAA};
constexpr std::array<std::uint8_t, 25> kSps480{0x67, 0x64, 0x00, 0x33, 0xAC, 0x1B, 0x1A, 0x80, 0xB4,
                                               0x3D, 0xA1, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00,
                                               0x03, 0x00, 0x3C, 0x8F, 0x14, 0x2A, 0xA0};
constexpr std::array<std::uint8_t, 4> kPps{0x68, 0xEE, 0x3C, 0xB0};

void matrix(ByteWriter &w)
{
    for (std::uint32_t v : kIdentityMatrix)
        w.u32(v);
}

// MPEG-4 descriptor header with the length in the four-byte form.
void descriptor(ByteWriter &w, std::uint8_t tag, std::uint8_t length)
{
    w.u8(tag);
    w.u8(0x80);
    w.u8(0x80);
    w.u8(0x80);
    w.u8(length);
}

void tkhd(ByteWriter &w, std::uint32_t trackId, std::uint32_t durationMs, std::uint16_t alternateGroup,
          std::uint16_t volume, VideoFormat size)
{
    const auto box = w.beginFullBox(fourcc("tkhd"), 3); // enabled, in movie
    w.u32(0); // creation time
    w.u32(0); // modification time
    w.u32(trackId);
    w.u32(0);
    w.u32(durationMs);
    w.zeros(8);
    w.u16(0); // layer
    w.u16(alternateGroup);
    w.u16(volume);
    w.u16(0);
    matrix(w);
    w.u32(std::uint32_t(size.width) << 16);
    w.u32(std::uint32_t(size.height) << 16);
    w.endBox(box);
}

void edts(ByteWriter &w, std::uint32_t segmentMs)
{
    const auto box = w.beginBox(fourcc("edts"));
    const auto elst = w.beginFullBox(fourcc("elst"), 0);
    w.u32(1);
    w.u32(segmentMs);
    w.u32(0);          // media time
    w.u32(0x00010000); // rate 1.0
    w.endBox(elst);
    w.endBox(box);
}

void mdhd(ByteWriter &w, std::uint32_t timescale, std::uint32_t duration)
{
    const auto box = w.beginFullBox(fourcc("mdhd"), 0);
    w.u32(0);
    w.u32(0);
    w.u32(timescale);
    w.u32(duration);
    w.u16(kLanguage);
    w.u16(0);
    w.endBox(box);
}

void hdlr(ByteWriter &w, std::uint32_t handler, std::string_view name)
{
    const auto box = w.beginFullBox(fourcc("hdlr"), 0);
    w.u32(0);
    w.u32(handler);
    w.zeros(12);
    w.text(name);
    w.u8(0);
    w.endBox(box);
}

void dinf(ByteWriter &w)
{
    const auto box = w.beginBox(fourcc("dinf"));
    const auto dref = w.beginFullBox(fourcc("dref"), 0);
    w.u32(1);
    const auto url = w.beginFullBox(fourcc("url "), 1); // media in this file
    w.endBox(url);
    w.endBox(dref);
    w.endBox(box);
}

void table(ByteWriter &w, std::uint32_t type, const std::vector<std::uint32_t> &entries)
{
    const auto box = w.beginFullBox(type, 0);
    w.u32(std::uint32_t(entries.size()));
    for (std::uint32_t v : entries)
        w.u32(v);
    w.endBox(box);
}

void stsz(ByteWriter &w, const std::vector<std::uint32_t> &sizes)
{
    const auto box = w.beginFullBox(fourcc("stsz"), 0);
    w.u32(0); // sizes differ
    w.u32(std::uint32_t(sizes.size()));
    for (std::uint32_t v : sizes)
        w.u32(v);
    w.endBox(box);
}

// (count, delta) pairs; a track without samples gets an empty table.
void stts(ByteWriter &w, std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> entries)
{
    const auto box = w.beginFullBox(fourcc("stts"), 0);
    const auto countAt = w.size();
    w.u32(0);
    std::uint32_t count = 0;
    for (const auto &[n, delta] : entries) {
        if (n == 0)
            continue;
        w.u32(n);
        w.u32(delta);
        ++count;
    }
    w.patch32(countAt, count);
    w.endBox(box);
}

// One sample per chunk. A run that names a chunk the track does not have makes demuxers
// reject the whole file, so a track without samples gets no run.
void stscOnePerChunk(ByteWriter &w, std::size_t sampleCount)
{
    const auto box = w.beginFullBox(fourcc("stsc"), 0);
    if (sampleCount == 0) {
        w.u32(0);
    } else {
        w.u32(1);
        w.u32(1);
        w.u32(1);
        w.u32(1);
    }
    w.endBox(box);
}

void videoSampleEntry(ByteWriter &w, VideoFormat f)
{
    const auto avc1 = w.beginBox(fourcc("avc1"));
    w.zeros(6);
    w.u16(1); // data reference index
    w.zeros(16);
    w.u16(std::uint32_t(f.width));
    w.u16(std::uint32_t(f.height));
    w.u32(0x00480000); // 72 dpi
    w.u32(0x00480000);
    w.u32(0);
    w.u16(1); // frames per sample
    w.zeros(32);
    w.u16(0x0018);
    w.u16(0xFFFF);
    const auto avcc = w.beginBox(fourcc("avcC"));
    const auto sps = cameraSps(f);
    w.u8(1);
    w.u8(0x64); // high profile
    w.u8(0x00);
    w.u8(0x33); // level 5.1
    w.u8(0xFF); // 4-byte NAL lengths
    w.u8(0xE1); // one SPS
    w.u16(std::uint32_t(sps.size()));
    w.bytes(sps);
    w.u8(1);
    w.u16(kPps.size());
    w.bytes(kPps);
    w.endBox(avcc);
    w.endBox(avc1);
}

void sensorSampleEntry(ByteWriter &w)
{
    const auto mp4s = w.beginBox(fourcc("mp4s"));
    w.zeros(6);
    w.u16(1);
    const auto esds = w.beginFullBox(fourcc("esds"), 0);
    descriptor(w, 3, 80);
    w.u16(2); // ES ID
    w.u8(0);
    descriptor(w, 4, 66);
    w.u8(0x08); // text stream
    w.u8(0x81);
    w.u24(0);   // buffer size
    w.u32(kBitrate);
    w.u32(0);
    descriptor(w, 5, 48); // timed-text sample description
    w.u32(0);             // display flags
    w.u8(1);              // horizontal justification
    w.u8(0xFF);           // vertical justification
    w.u32(0);             // background colour
    w.zeros(8);           // text box
    w.u16(0);             // style: start char
    w.u16(0);             // end char
    w.u16(1);             // font ID
    w.u8(0);              // face
    w.u8(18);             // size
    w.u32(0xFFFFFFFF);    // colour
    const auto ftab = w.beginBox(fourcc("ftab"));
    w.u16(1);
    w.u16(1);
    w.u8(5);
    w.text("Serif");
    w.endBox(ftab);
    descriptor(w, 6, 1);
    w.u8(0x02);
    w.endBox(esds);
    w.endBox(mp4s);
}

void soundSampleEntry(ByteWriter &w)
{
    const auto mp4a = w.beginBox(fourcc("mp4a"));
    w.zeros(6);
    w.u16(1);
    w.zeros(8);
    w.u16(2);  // channels
    w.u16(16); // bits per sample
    w.u16(0);
    w.u16(0);
    w.u32(kAudioTimescale << 16);
    const auto esds = w.beginFullBox(fourcc("esds"), 0);
    descriptor(w, 3, 34);
    w.u16(3);
    w.u8(0);
    descriptor(w, 4, 20);
    w.u8(0x40); // MPEG-4 audio
    w.u8(0x15);
    w.u24(0);
    w.u32(kBitrate);
    w.u32(kBitrate);
    descriptor(w, 5, 2);
    w.u8(0x14); // AAC LC, 16000 Hz,
    w.u8(0x10); // two channels
    descriptor(w, 6, 1);
    w.u8(0x02);
    w.endBox(esds);
    w.endBox(mp4a);
}

template<typename F>
void stsd(ByteWriter &w, F entry)
{
    const auto box = w.beginFullBox(fourcc("stsd"), 0);
    w.u32(1);
    entry();
    w.endBox(box);
}

} // namespace

std::span<const std::uint8_t> cameraSps(VideoFormat f)
{
    if (f.width == 1920)
        return kSps1080;
    if (f.width == 1280)
        return kSps720;
    return kSps480;
}

std::span<const std::uint8_t> cameraPps()
{
    return kPps;
}

VideoFormat videoFormatFor(int side, int sizeClass)
{
    if (side == kSideFront || sizeClass == 3)
        return {1920, 1080};
    if (sizeClass == 1)
        return {1280, 720};
    return {720, 480};
}

std::uint32_t videoTimescale(int side)
{
    return side == kSideFront ? 14910 : 15360;
}

std::uint64_t videoTicks(int side, std::size_t sampleCount)
{
    if (sampleCount == 0)
        return 0;
    return side == kSideFront ? 1024 + 512 * std::uint64_t(sampleCount - 1) : 512 * std::uint64_t(sampleCount);
}

std::vector<std::uint8_t> buildIndex(const MediaTables &t, int side, int sizeClass)
{
    const VideoFormat format = videoFormatFor(side, sizeClass);
    const std::uint32_t timescale = videoTimescale(side);
    const auto nv = std::uint32_t(t.videoSizes.size());
    const auto na = std::uint32_t(t.audioSizes.size());
    const auto ns = std::uint32_t(t.sensorSizes.size());
    // Durations follow the sample table, so the edit list covers every frame; rounded up to
    // whole ms for the same reason.
    const std::uint64_t ticks = videoTicks(side, nv);
    const auto durationMs = std::uint32_t((ticks * kMovieTimescale + timescale - 1) / timescale);

    ByteWriter w;
    const auto moov = w.beginBox(fourcc("moov"));

    const auto mvhd = w.beginFullBox(fourcc("mvhd"), 0);
    w.u32(0);
    w.u32(0);
    w.u32(kMovieTimescale);
    w.u32(durationMs);
    w.u32(0x00010000); // rate 1.0
    w.u16(0x0100);     // volume 1.0
    w.zeros(10);
    matrix(w);
    w.zeros(24);
    w.u32(3); // next track ID
    w.endBox(mvhd);

    // Video
    {
        const auto trak = w.beginBox(fourcc("trak"));
        tkhd(w, 1, durationMs, 0, 0, format);
        edts(w, durationMs);
        const auto mdia = w.beginBox(fourcc("mdia"));
        mdhd(w, timescale, std::uint32_t(ticks));
        hdlr(w, fourcc("vide"), "VideoHandler");
        const auto minf = w.beginBox(fourcc("minf"));
        const auto vmhd = w.beginFullBox(fourcc("vmhd"), 1);
        w.zeros(8);
        w.endBox(vmhd);
        dinf(w);
        const auto stbl = w.beginBox(fourcc("stbl"));
        stsd(w, [&] { videoSampleEntry(w, format); });
        if (side == kSideFront)
            stts(w, {{nv ? 1u : 0u, 1024}, {nv ? nv - 1 : 0, 512}});
        else
            stts(w, {{nv, 512}});
        table(w, fourcc("stss"), t.syncSamples);
        const auto stsc = w.beginFullBox(fourcc("stsc"), 0);
        w.u32(std::uint32_t(t.videoRuns.size()));
        for (const ChunkRun &r : t.videoRuns) {
            w.u32(r.firstChunk);
            w.u32(r.samplesPerChunk);
            w.u32(r.descriptionIndex);
        }
        w.endBox(stsc);
        stsz(w, t.videoSizes);
        table(w, fourcc("stco"), t.videoChunks);
        w.endBox(stbl);
        w.endBox(minf);
        w.endBox(mdia);
        w.endBox(trak);
    }

    // Sensor text: one record per chunk, all at media time 0 as the camera declares them.
    {
        const auto trak = w.beginBox(fourcc("trak"));
        tkhd(w, 2, ns * kSensorEntryMs, 3, 0, {});
        edts(w, ns * kSensorEntryMs);
        const auto mdia = w.beginBox(fourcc("mdia"));
        mdhd(w, kSensorTimescale, 0);
        hdlr(w, fourcc("sdsm"), "XBLB");
        const auto minf = w.beginBox(fourcc("minf"));
        const auto nmhd = w.beginFullBox(fourcc("nmhd"), 0);
        w.endBox(nmhd);
        dinf(w);
        const auto stbl = w.beginBox(fourcc("stbl"));
        stsd(w, [&] { sensorSampleEntry(w); });
        stts(w, {{ns, 0}});
        stscOnePerChunk(w, ns);
        stsz(w, t.sensorSizes);
        table(w, fourcc("stco"), t.sensorChunks);
        w.endBox(stbl);
        w.endBox(minf);
        w.endBox(mdia);
        w.endBox(trak);
    }

    // Sound
    {
        const auto trak = w.beginBox(fourcc("trak"));
        tkhd(w, 3, na * kAudioFrameMs, 1, 0x0100, {});
        edts(w, na * kAudioFrameMs);
        const auto mdia = w.beginBox(fourcc("mdia"));
        mdhd(w, kAudioTimescale, na * kAudioFrameSamples);
        hdlr(w, fourcc("soun"), "SoundHandler");
        const auto minf = w.beginBox(fourcc("minf"));
        const auto smhd = w.beginFullBox(fourcc("smhd"), 0);
        w.u16(0);
        w.u16(0);
        w.endBox(smhd);
        dinf(w);
        const auto stbl = w.beginBox(fourcc("stbl"));
        stsd(w, [&] { soundSampleEntry(w); });
        stts(w, {{na, kAudioFrameSamples}});
        stscOnePerChunk(w, na);
        stsz(w, t.audioSizes);
        table(w, fourcc("stco"), t.audioChunks);
        w.endBox(stbl);
        w.endBox(minf);
        w.endBox(mdia);
        w.endBox(trak);
    }

    w.endBox(moov);
    return w.take();
}

} // namespace storage
