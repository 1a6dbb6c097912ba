#include "avicopy.h"

#include <QFileDevice>
#include <QtEndian>

#include <array>
#include <cstring>
#include <memory>

namespace {

constexpr uint32_t fourcc(const char (&code)[5])
{
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 | uint32_t(uint8_t(code[2])) << 8 |
           uint32_t(uint8_t(code[3]));
}

// Codes as they appear byte after byte in the file (first byte most significant).
constexpr uint32_t kRIFF = fourcc("RIFF"), kVids = fourcc("vids"), kAuds = fourcc("auds"), kTxts = fourcc("txts"),
                   kMovi = fourcc("movi"), kIdx1 = fourcc("idx1"), kLBMS = fourcc("LBMS"), kLBDJ = fourcc("LBDJ");

// Stream header fields relative to the position of the stream type code (bytes).
constexpr qint64 kRateField = 24, kLengthField = 32, kBufferSizeField = 36;
constexpr qint64 kTotalFramesOffset = 48, kRiffSizeOffset = 4;
constexpr uint32_t kKeyFrame = 0x10;
// A video payload's first bytes are searched for a slice start code at positions 0..47.
constexpr int kSliceSearchPositions = 48;

enum class ChunkKind { None, Video, Audio, Text };

// Scans the byte stream for the stream headers before "movi" and the data chunks after it.
// Fed block after block; the result is the same as for one contiguous stream.
class Scanner
{
public:
    explicit Scanner(AviCopySummary &summary) : s(summary) {}

    bool active() const { return !done; }
    bool riffFound() const { return riffSizeKnown; }
    uint32_t riffSize() const { return riffSizeValue; }
    qint64 vidsPos[2] = {-1, -1};
    qint64 audsPos = -1, txtsPos = -1;
    qint64 moviSizePos = -1;
    int vidsCount = 0;

    void feed(const uint8_t *data, size_t n)
    {
        for (size_t i = 0; i < n && !done; ++i, ++pos) {
            if (mode != Mode::Payload) {
                step(data[i]);
                continue;
            }
            // A payload is skipped whole; only a video chunk's first bytes are kept.
            const size_t k = size_t(std::min<uint64_t>(payloadLeft, n - i));
            if (head.size() < headWanted)
                head.insert(head.end(), data + i, data + i + std::min(k, headWanted - head.size()));
            payloadLeft -= k;
            i += k - 1; // at the last byte taken, as step() would be
            pos += qint64(k) - 1;
            if (payloadLeft == 0)
                endPayload();
        }
    }

private:
    enum class Mode { Headers, ChunkId, ChunkSize, Payload };

    void step(uint8_t b)
    {
        switch (mode) {
        case Mode::Headers:
            if (collecting > 0) { // the RIFF size field
                riffSizeValue |= uint32_t(b) << (8 * (4 - collecting));
                if (--collecting == 0)
                    riffSizeKnown = true;
            }
            push(b);
            if (windowBytes >= 4)
                onHeaderCode(window, pos - 3);
            return;
        case Mode::ChunkId:
            push(b);
            if (windowBytes >= 4)
                onChunkCode(window);
            return;
        case Mode::ChunkSize:
            chunkSize |= uint32_t(b) << (8 * (4 - collecting));
            if (--collecting == 0)
                beginPayload();
            return;
        case Mode::Payload:
            if (head.size() < headWanted)
                head.push_back(b);
            if (--payloadLeft == 0)
                endPayload();
            return;
        }
    }

    void push(uint8_t b)
    {
        window = window << 8 | b;
        ++windowBytes;
    }

    void onHeaderCode(uint32_t code, qint64 at)
    {
        if (code == kRIFF && !riffSeen) {
            riffSeen = true;
            collecting = 4;
        } else if (code == kVids) {
            if (vidsCount < 2)
                vidsPos[vidsCount] = at;
            ++vidsCount;
        } else if (code == kAuds && audsPos < 0) {
            audsPos = at;
        } else if (code == kTxts && txtsPos < 0) {
            txtsPos = at;
        } else if (code == kMovi) {
            moviSizePos = at - 4;
            lastChunkEnd = pos + 1;
            mode = Mode::ChunkId;
            windowBytes = 0;
        }
    }

    // "0" + digit + "dc" / "wb" / "tx"; with two video streams the digit may be 0..3.
    ChunkKind kindOf(uint32_t code, int *digit) const
    {
        if ((code >> 24) != '0')
            return ChunkKind::None;
        *digit = int((code >> 16) & 0xFF) - '0';
        if (*digit < 0 || *digit > (vidsCount >= 2 ? 3 : 2))
            return ChunkKind::None;
        switch (code & 0xFFFF) {
        case ('d' << 8 | 'c'): return ChunkKind::Video;
        case ('w' << 8 | 'b'): return ChunkKind::Audio;
        case ('t' << 8 | 'x'): return ChunkKind::Text;
        default: return ChunkKind::None;
        }
    }

    void onChunkCode(uint32_t code)
    {
        if (code == kIdx1) { // the recording already has an index
            done = true;
            return;
        }
        int digit = 0;
        kind = kindOf(code, &digit);
        if (kind == ChunkKind::None)
            return;
        secondStream = vidsCount >= 2 && digit != 0;
        chunkId = code;
        chunkSize = 0;
        collecting = 4;
        mode = Mode::ChunkSize;
    }

    void beginPayload()
    {
        if (chunkSize > AviCopy::kMaxChunkSize)
            chunkSize = 0;
        head.clear();
        headWanted = kind == ChunkKind::Video ? size_t(std::min<uint32_t>(chunkSize, kSliceSearchPositions + 3)) : 0;
        payloadLeft = chunkSize;
        if (payloadLeft == 0)
            endPayload();
        else
            mode = Mode::Payload;
    }

    uint32_t videoFlags() const
    {
        for (size_t at = 0; at < size_t(kSliceSearchPositions) && at + 4 <= head.size(); ++at) {
            if (head[at] != 0 || head[at + 1] != 0 || head[at + 2] != 1)
                continue;
            if (head[at + 3] == 0x41)
                return 0;
            if (head[at + 3] == 0x65)
                return kKeyFrame;
        }
        return kKeyFrame;
    }

    void endPayload()
    {
        const uint32_t size = chunkSize;
        lastChunkEnd = pos + 1 + (size & 1);
        AviIndexEntry entry{qToBigEndian(chunkId), kKeyFrame, nextOffset, size};
        nextOffset += 8 + size + (size & 1);
        switch (kind) {
        case ChunkKind::Video:
            entry.flags = videoFlags();
            ++s.videoChunks;
            if (secondStream) {
                ++s.videoChunks1;
                s.largestVideo1 = std::max(s.largestVideo1, size);
            } else {
                ++s.videoChunks0;
                s.largestVideo0 = std::max(s.largestVideo0, size);
            }
            break;
        case ChunkKind::Audio:
            s.audioSum += size / 2;
            s.largestAudio = std::max(s.largestAudio, size);
            break;
        case ChunkKind::Text:
            ++s.textChunks;
            s.largestText = std::max(s.largestText, size);
            break;
        case ChunkKind::None:
            break;
        }
        if (s.index.size() < AviCopy::kMaxIndexEntries)
            s.index.push_back(entry);
        mode = Mode::ChunkId;
        windowBytes = 0;
    }

    AviCopySummary &s;
    Mode mode = Mode::Headers;
    qint64 pos = 0; // file offset of the byte being scanned
    uint32_t window = 0;
    int windowBytes = 0;
    bool done = false;
    bool riffSeen = false, riffSizeKnown = false;
    uint32_t riffSizeValue = 0;
    int collecting = 0; // bytes of a little-endian size field still to come
    ChunkKind kind = ChunkKind::None;
    bool secondStream = false;
    uint32_t chunkId = 0, chunkSize = 0;
    uint64_t payloadLeft = 0;
    std::vector<uint8_t> head; // first payload bytes of a video chunk
    size_t headWanted = 0;
    uint32_t nextOffset = 4;

    qint64 lastChunkEnd = -1; // file offset after the last whole chunk and its pad byte

public:
    uint32_t moviListEnd() const { return nextOffset; }
    // How many of the copied bytes the repaired file keeps: everything up to the end of the
    // last whole chunk. A chunk the power loss cut off (or bytes that are no chunk) would
    // otherwise stand between the media list and the appended index, where players look
    // for the index; its declared size would also run into the index. -1: keep all.
    qint64 repairedLength() const { return done ? -1 : lastChunkEnd; }
};

// Overwrites the maker blocks: "LBMS" starts a span of (byte 4 + 256 x byte 5) + 8 bytes
// filled with 'M', "LBDJ" one filled with 'D'. The last bytes of a block stay back until
// the next one arrives, so a code or a span across a block boundary is blanked whole.
class Blanker
{
public:
    // Appends `block`, blanks, and moves every byte that can no longer change to `ready`.
    void push(const uint8_t *block, size_t n, std::vector<uint8_t> &ready)
    {
        pending.insert(pending.end(), block, block + n);
        run(ready, false);
    }
    void finish(std::vector<uint8_t> &ready) { run(ready, true); }

private:
    static constexpr size_t kLookahead = 6; // the code and its two length bytes

    void run(std::vector<uint8_t> &ready, bool last)
    {
        const size_t n = pending.size();
        size_t i = 0;
        while (i < n) {
            if (spanLeft > 0) {
                const size_t k = std::min<size_t>(spanLeft, n - i);
                std::memset(pending.data() + i, fill, k);
                spanLeft -= uint32_t(k);
                i += k;
                continue;
            }
            // Only an 'L' can start a code; the bytes before the next one are final.
            const void *l = std::memchr(pending.data() + i, 'L', n - i);
            i = l ? size_t(static_cast<const uint8_t *>(l) - pending.data()) : n;
            if (i == n || (!last && n - i < kLookahead))
                break;
            if (n - i < 4) {
                ++i;
                continue;
            }
            const uint32_t code = uint32_t(pending[i]) << 24 | uint32_t(pending[i + 1]) << 16 |
                                  uint32_t(pending[i + 2]) << 8 | pending[i + 3];
            if (code != kLBMS && code != kLBDJ) {
                ++i;
                continue;
            }
            const uint32_t low = i + 4 < n ? pending[i + 4] : 0;
            const uint32_t high = i + 5 < n ? pending[i + 5] : 0;
            fill = code == kLBMS ? 'M' : 'D';
            spanLeft = low + 256 * high + 8;
        }
        ready.assign(pending.begin(), pending.begin() + qsizetype(i));
        pending.erase(pending.begin(), pending.begin() + qsizetype(i));
    }

    std::vector<uint8_t> pending;
    uint32_t spanLeft = 0;
    uint8_t fill = 0;
};

bool writeAt(QFileDevice &out, qint64 at, uint32_t value)
{
    const uint32_t le = qToLittleEndian(value);
    return out.seek(at) && out.write(reinterpret_cast<const char *>(&le), 4) == 4;
}

bool readAt(QFileDevice &out, qint64 at, uint32_t *value)
{
    uint32_t le = 0;
    if (!out.seek(at) || out.read(reinterpret_cast<char *>(&le), 4) != 4)
        return false;
    *value = qFromLittleEndian(le);
    return true;
}

// Rate correction for a recording with two video streams and a text stream (unsigned
// arithmetic, every division truncating, signed differences). False when a rate is too
// small to divide by: the rates then stay as the camera wrote them.
bool correctRates(uint32_t r0, uint32_t r1, uint32_t rt, const AviCopySummary &s, uint32_t *newRt, uint32_t *newR0,
                  uint32_t *newR1)
{
    const uint32_t perMs = (r0 + r1) / 1000;
    if (perMs == 0 || r0 == 0 || r1 == 0 || rt == 0)
        return false;
    const uint32_t k = s.videoChunks;
    const uint32_t t = k / perMs;
    uint32_t e0 = (r0 / 1000) * t;
    uint32_t e1 = (r1 / 1000) * t;
    if (e0 + e1 < k) {
        const uint32_t d = (k - e0 - e1) / 2;
        e0 += d;
        e1 += d;
    }
    const uint32_t et = uint32_t(uint64_t(e0) * rt / r0);
    auto adjust = [](uint32_t rate, uint32_t have, uint32_t expected) {
        return uint32_t(int64_t(rate) + (int64_t(have) - int64_t(expected)) * int64_t(1000000 / rate));
    };
    *newRt = adjust(rt, s.textChunks, et);
    *newR0 = adjust(r0, s.videoChunks0, e0);
    *newR1 = adjust(r1, s.videoChunks1, e1);
    return true;
}

bool repair(QFileDevice &out, const Scanner &scan, AviCopySummary &s)
{
    qint64 end = qint64(s.bytesCopied);
    bool ok = true;
    if (const qint64 kept = scan.repairedLength(); kept >= 0 && kept != end) {
        // Shorter: the cut-off chunk goes. Longer by one: the pad byte after the last chunk.
        s.droppedTail = uint64_t(std::max<qint64>(end - kept, 0));
        ok = out.resize(kept);
        end = kept;
    }
    // Fields are written only where the copy holds them; a header cut off is left alone.
    auto inside = [end](qint64 at) { return at >= 0 && at + 4 <= end; };

    std::vector<uint8_t> chunk(8 + 16 * s.index.size());
    const uint32_t idx1 = qToBigEndian(kIdx1);
    std::memcpy(chunk.data(), &idx1, 4);
    qToLittleEndian(uint32_t(16 * s.index.size()), chunk.data() + 4);
    uint8_t *entry = chunk.data() + 8;
    for (const AviIndexEntry &e : s.index) {
        std::memcpy(entry, &e.id, 4);
        qToLittleEndian(e.flags, entry + 4);
        qToLittleEndian(e.offset, entry + 8);
        qToLittleEndian(e.size, entry + 12);
        entry += 16;
    }
    ok &= out.seek(end) && out.write(reinterpret_cast<const char *>(chunk.data()), qint64(chunk.size())) ==
                               qint64(chunk.size());
    if (inside(kTotalFramesOffset))
        ok &= writeAt(out, kTotalFramesOffset, s.videoChunks);
    if (inside(kRiffSizeOffset))
        ok &= writeAt(out, kRiffSizeOffset, uint32_t(uint64_t(end) + chunk.size() - 8));

    const qint64 v0 = scan.vidsPos[0], v1 = scan.vidsPos[1], txt = scan.txtsPos, aud = scan.audsPos;
    uint32_t r0 = 0, r1 = 0, rt = 0, newRt = 0, newR0 = 0, newR1 = 0;
    if (scan.vidsCount >= 2 && inside(txt + kRateField) && inside(v0 + kRateField) && inside(v1 + kRateField) &&
        readAt(out, v0 + kRateField, &r0) && readAt(out, v1 + kRateField, &r1) && readAt(out, txt + kRateField, &rt) &&
        correctRates(r0, r1, rt, s, &newRt, &newR0, &newR1)) {
        ok &= writeAt(out, txt + kRateField, newRt);
        ok &= writeAt(out, v0 + kRateField, newR0);
        ok &= writeAt(out, v1 + kRateField, newR1);
    }
    auto header = [&](qint64 at, uint32_t length, uint32_t bufferSize) {
        if (at >= 0 && inside(at + kBufferSizeField)) {
            ok &= writeAt(out, at + kLengthField, length);
            ok &= writeAt(out, at + kBufferSizeField, bufferSize);
        }
    };
    header(v0, s.videoChunks0, s.largestVideo0);
    if (scan.vidsCount >= 2)
        header(v1, s.videoChunks1, s.largestVideo1);
    header(aud, s.audioSum, s.largestAudio);
    header(txt, s.textChunks, s.largestText);
    if (inside(scan.moviSizePos))
        ok &= writeAt(out, scan.moviSizePos, scan.moviListEnd());
    s.repaired = true;
    return ok;
}

} // namespace

bool AviCopy::copy(const AviBlockReader &read, QFileDevice &out, AviCopySummary *summary)
{
    AviCopySummary local;
    AviCopySummary &s = summary ? *summary : local;
    s = AviCopySummary{};
    Scanner scan(s);
    Blanker blanker;
    const auto block = std::make_unique<uint8_t[]>(kBlockBytes);
    std::vector<uint8_t> ready;
    bool ok = true;
    for (;;) {
        const int n = read(block.get(), kBlockBytes);
        if (n <= 0)
            break;
        const size_t got = size_t(std::min(n, kBlockBytes));
        s.bytesCopied += got;
        if (scan.active())
            scan.feed(block.get(), got);
        blanker.push(block.get(), got, ready);
        ok &= out.write(reinterpret_cast<const char *>(ready.data()), qint64(ready.size())) == qint64(ready.size());
    }
    blanker.finish(ready);
    ok &= out.write(reinterpret_cast<const char *>(ready.data()), qint64(ready.size())) == qint64(ready.size());
    if (!ok)
        return false;
    s.finalized = scan.riffFound() && uint64_t(scan.riffSize()) + 8 == s.bytesCopied;
    if (!s.finalized)
        ok = repair(out, scan, s);
    ok = ok && out.flush();
    s.outputBytes = uint64_t(out.size());
    return ok;
}
