#include "avitextstream.h"

#include "bytereader.h"
#include "zobrgpsdata.h"

#include <QIODevice>

#include <cstdint>

namespace playback {

namespace {

using storage::fourcc;

// A chunk header read at pos, with its size checked against the end of its parent.
struct Chunk {
    std::uint32_t id = 0;
    std::uint32_t size = 0;     // of the data, bytes, without the pad byte
    std::uint64_t data = 0;     // offset of the data
    std::uint64_t next = 0;     // offset of the following chunk (size rounded up to even)
    std::uint32_t listType = 0; // for RIFF and LIST: the form type
};

std::optional<Chunk> chunkAt(QIODevice &f, std::uint64_t pos, std::uint64_t end)
{
    if (pos > end || end - pos < 8 || !f.seek(qint64(pos)))
        return std::nullopt;
    const QByteArray head = f.read(12);
    if (head.size() < 8)
        return std::nullopt;
    auto byte = [&](int i) { return std::uint32_t(std::uint8_t(head[i])); };
    Chunk c;
    c.id = (byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
    c.size = byte(4) | (byte(5) << 8) | (byte(6) << 16) | (byte(7) << 24); // little-endian
    c.data = pos + 8;
    if (c.size > end - c.data)
        return std::nullopt;
    c.next = c.data + c.size + (c.size & 1);
    if ((c.id == fourcc("RIFF") || c.id == fourcc("LIST"))) {
        if (c.size < 4 || head.size() < 12)
            return std::nullopt;
        c.listType = (byte(8) << 24) | (byte(9) << 16) | (byte(10) << 8) | byte(11);
    }
    return c;
}

// Stream number of the first "strl" whose "strh" names the text type, or -1.
int textStreamNumber(QIODevice &f, const Chunk &hdrl)
{
    int number = 0;
    const std::uint64_t end = hdrl.data + hdrl.size;
    std::uint64_t pos = hdrl.data + 4;
    while (const auto c = chunkAt(f, pos, end)) {
        pos = c->next;
        if (c->id != fourcc("LIST") || c->listType != fourcc("strl"))
            continue;
        const std::uint64_t strlEnd = c->data + c->size;
        if (const auto strh = chunkAt(f, c->data + 4, strlEnd); strh && strh->id == fourcc("strh") && strh->size >= 4) {
            f.seek(qint64(strh->data));
            if (f.read(4) == "txts")
                return number;
        }
        ++number;
    }
    return -1;
}

// depth: "rec " lists inside "movi" are one level deep; deeper nesting is not followed, so a
// hostile file cannot recurse without bound.
void collectText(QIODevice &f, const Chunk &list, const QByteArray &prefix, std::vector<QByteArray> &records,
                 int depth = 0)
{
    const std::uint64_t end = list.data + list.size;
    std::uint64_t pos = list.data + 4;
    while (const auto c = chunkAt(f, pos, end)) {
        pos = c->next;
        if (c->id == fourcc("LIST")) {
            if (c->listType == fourcc("rec ") && depth == 0)
                collectText(f, *c, prefix, records, depth + 1); // interleaved groups
            continue;
        }
        const char id[2] = {char(c->id >> 24), char(c->id >> 16)};
        if (id[0] != prefix[0] || id[1] != prefix[1])
            continue;
        f.seek(qint64(c->data));
        records.push_back(f.read(std::min<qint64>(c->size, storage::kSensorRecordMax)));
    }
}

} // namespace

std::optional<std::vector<QByteArray>> readAviTextRecords(QIODevice &f, std::string &error)
{
    const std::uint64_t fileSize = std::uint64_t(f.size());
    const auto riff = chunkAt(f, 0, fileSize);
    if (!riff || riff->id != fourcc("RIFF") || riff->listType != fourcc("AVI ")) {
        error = "not an AVI file";
        return std::nullopt;
    }
    const std::uint64_t end = riff->data + riff->size;
    int stream = -1;
    std::optional<Chunk> movi;
    std::uint64_t pos = riff->data + 4;
    while (const auto c = chunkAt(f, pos, end)) {
        pos = c->next;
        if (c->id != fourcc("LIST"))
            continue;
        if (c->listType == fourcc("hdrl"))
            stream = textStreamNumber(f, *c);
        else if (c->listType == fourcc("movi"))
            movi = c;
    }
    if (stream < 0 || stream > 99) {
        error = "no text stream";
        return std::nullopt;
    }
    if (!movi) {
        error = "no media data";
        return std::nullopt;
    }
    const QByteArray prefix = QByteArray::number(stream).rightJustified(2, '0');
    std::vector<QByteArray> records;
    collectText(f, *movi, prefix, records);
    return records;
}

} // namespace playback
