// Test helpers: walking the boxes of an MP4 index and reading its sample tables back.
#pragma once

#include "bytereader.h"
#include "recordingindex.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>
#include <span>
#include <vector>

namespace testsupport {

using storage::fourcc;

struct BoxView {
    std::uint32_t type = 0;
    std::span<const std::uint8_t> whole; // header included
    std::span<const std::uint8_t> body;
};

inline std::vector<BoxView> boxesIn(std::span<const std::uint8_t> parent)
{
    std::vector<BoxView> out;
    storage::ByteReader r(parent);
    while (r.remaining() >= 8) {
        const std::size_t at = r.pos();
        const std::uint32_t size = r.u32be();
        const std::uint32_t type = r.u32be();
        if (size < 8 || size - 8 > r.remaining())
            break;
        r.skip(size - 8);
        out.push_back({type, parent.subspan(at, size), parent.subspan(at + 8, size - 8)});
    }
    return out;
}

inline std::optional<BoxView> childBox(std::span<const std::uint8_t> parent, std::uint32_t type, int nth = 0)
{
    for (const BoxView &b : boxesIn(parent))
        if (b.type == type && nth-- == 0)
            return b;
    return std::nullopt;
}

// Boxes whose body is nothing but boxes: their children must fill them exactly.
inline bool isContainer(std::uint32_t t)
{
    for (auto c : {fourcc("moov"), fourcc("trak"), fourcc("edts"), fourcc("mdia"), fourcc("minf"), fourcc("dinf"),
                   fourcc("stbl")})
        if (t == c)
            return true;
    return false;
}

// True when every container's children add up to exactly its body.
inline bool sizesConsistent(const BoxView &box)
{
    if (!isContainer(box.type))
        return true;
    std::size_t sum = 0;
    for (const BoxView &c : boxesIn(box.body)) {
        sum += c.whole.size();
        if (!sizesConsistent(c))
            return false;
    }
    return sum == box.body.size();
}

inline std::vector<std::uint32_t> tableOf(const BoxView &box, int width, bool sampleSizeField = false)
{
    storage::ByteReader r(box.body);
    r.u32be();
    if (sampleSizeField)
        r.u32be();
    const std::uint32_t n = r.u32be();
    std::vector<std::uint32_t> v;
    for (std::uint32_t i = 0; i < n * std::uint32_t(width) && r.ok(); ++i)
        v.push_back(r.u32be());
    return v;
}

struct TrackTables {
    std::uint32_t handler = 0;
    std::vector<std::uint32_t> stts, stss, stsc, stsz, stco;
};

// The sample tables of each track of a moov box (whole box, header included).
inline std::vector<TrackTables> trackTables(std::span<const std::uint8_t> moov)
{
    std::vector<TrackTables> out;
    const auto top = boxesIn(moov);
    if (top.empty())
        return out;
    for (const BoxView &trak : boxesIn(top[0].body)) {
        if (trak.type != fourcc("trak"))
            continue;
        TrackTables t;
        const auto mdia = childBox(trak.body, fourcc("mdia"));
        if (!mdia)
            continue;
        if (auto h = childBox(mdia->body, fourcc("hdlr")))
            t.handler = storage::ByteReader(h->body).u32beAt(8);
        const auto minf = childBox(mdia->body, fourcc("minf"));
        const auto stbl = minf ? childBox(minf->body, fourcc("stbl")) : std::nullopt;
        if (!stbl)
            continue;
        if (auto b = childBox(stbl->body, fourcc("stts")))
            t.stts = tableOf(*b, 2);
        if (auto b = childBox(stbl->body, fourcc("stss")))
            t.stss = tableOf(*b, 1);
        if (auto b = childBox(stbl->body, fourcc("stsc")))
            t.stsc = tableOf(*b, 3);
        if (auto b = childBox(stbl->body, fourcc("stsz")))
            t.stsz = tableOf(*b, 1, true);
        if (auto b = childBox(stbl->body, fourcc("stco")))
            t.stco = tableOf(*b, 1);
        out.push_back(t);
    }
    return out;
}

// (offset, size) of every sample, chunks expanded through the sample-to-chunk runs.
inline std::vector<std::pair<std::uint64_t, std::uint32_t>> sampleRanges(const TrackTables &t)
{
    std::vector<std::pair<std::uint64_t, std::uint32_t>> out;
    std::size_t sample = 0, run = 0;
    std::uint32_t perChunk = 0;
    for (std::size_t c = 0; c < t.stco.size(); ++c) {
        while (run * 3 + 2 < t.stsc.size() && t.stsc[run * 3] <= c + 1)
            perChunk = t.stsc[run++ * 3 + 1];
        std::uint64_t at = t.stco[c];
        for (std::uint32_t i = 0; i < perChunk && sample < t.stsz.size(); ++i, ++sample) {
            out.emplace_back(at, t.stsz[sample]);
            at += t.stsz[sample];
        }
    }
    return out;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline std::span<const std::uint8_t> bytesOf(const QByteArray &a)
{
    return {reinterpret_cast<const std::uint8_t *>(a.constData()), std::size_t(a.size())};
}

// The moov box a file's size field at offset 40 points at, or an empty span.
inline std::span<const std::uint8_t> indexOf(const QByteArray &file)
{
    const auto all = bytesOf(file);
    const std::uint32_t s = storage::ByteReader(all).u32beAt(40);
    if (s == 0 || 40 + std::size_t(s) >= all.size())
        return {};
    const auto rest = all.subspan(40 + s);
    const auto boxes = boxesIn(rest);
    if (boxes.empty() || boxes[0].type != fourcc("moov"))
        return {};
    return boxes[0].whole;
}

} // namespace testsupport
