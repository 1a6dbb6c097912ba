#include "sensortrack.h"

#include "bytereader.h"
#include "containerrepair.h"
#include "zobrgpsdata.h"

#include <QFile>

#include <cstdint>

namespace storage {

namespace {

// An index larger than this is not one the camera writes (bytes).
constexpr std::uint64_t kMaxIndexSize = 64u << 20;

struct Box {
    std::uint32_t type = 0;
    std::span<const std::uint8_t> body;
};

// Next child box inside r; its size is checked against what the parent has left.
std::optional<Box> nextBox(ByteReader &r)
{
    if (r.remaining() < 8)
        return std::nullopt;
    const std::uint32_t size = r.u32be();
    const std::uint32_t type = r.u32be();
    if (size < 8 || size - 8 > r.remaining())
        return std::nullopt;
    return Box{type, r.bytes(size - 8)};
}

std::optional<Box> findChild(std::span<const std::uint8_t> parent, std::uint32_t type)
{
    ByteReader r(parent);
    while (auto box = nextBox(r))
        if (box->type == type)
            return box;
    return std::nullopt;
}

std::optional<Box> findPath(std::span<const std::uint8_t> parent, std::initializer_list<std::uint32_t> path)
{
    std::optional<Box> box = Box{0, parent};
    for (std::uint32_t type : path) {
        box = findChild(box->body, type);
        if (!box)
            return std::nullopt;
    }
    return box;
}

// Entries of a full box table (version/flags, count, entries of `width` 32-bit values).
std::optional<std::vector<std::uint32_t>> tableEntries(const Box &box, int width, bool hasSampleSize = false)
{
    ByteReader r(box.body);
    r.u32be(); // version, flags
    if (hasSampleSize && r.u32be() != 0)
        return std::nullopt; // one size for all samples: the camera never writes that
    const std::uint32_t count = r.u32be();
    if (!r.ok() || count > r.remaining() / (4u * std::uint32_t(width)))
        return std::nullopt;
    std::vector<std::uint32_t> v(std::size_t(count) * std::size_t(width));
    for (auto &x : v)
        x = r.u32be();
    return v;
}

struct BoxHeader {
    std::uint64_t size = 0; // whole box, bytes
    std::uint64_t headerSize = 8;
    std::uint32_t type = 0;
};

std::optional<BoxHeader> boxAt(QFile &f, std::uint64_t pos)
{
    const std::uint64_t fileSize = std::uint64_t(f.size());
    if (pos > fileSize || fileSize - pos < 8 || !f.seek(qint64(pos)))
        return std::nullopt;
    const QByteArray head = f.read(16);
    ByteReader r(std::span(reinterpret_cast<const std::uint8_t *>(head.constData()), std::size_t(head.size())));
    BoxHeader h;
    h.size = r.u32be();
    h.type = r.u32be();
    if (h.size == 1) {
        h.size = r.u64be();
        h.headerSize = 16;
    } else if (h.size == 0) {
        h.size = fileSize - pos;
    }
    if (!r.ok() || h.size < h.headerSize || h.size > fileSize - pos)
        return std::nullopt;
    return h;
}

std::optional<QByteArray> readBody(QFile &f, std::uint64_t pos, const BoxHeader &h)
{
    if (h.size > kMaxIndexSize || !f.seek(qint64(pos + h.headerSize)))
        return std::nullopt;
    QByteArray body = f.read(qint64(h.size - h.headerSize));
    if (std::uint64_t(body.size()) != h.size - h.headerSize)
        return std::nullopt;
    return body;
}

std::optional<QByteArray> readIndex(QFile &f, std::string &error)
{
    // The camera's layout: the media-data size at offset 40 leads to the index, whatever the
    // preamble holds.
    if (const auto mdat = boxAt(f, kMediaDataOffset); mdat && mdat->type == fourcc("mdat")) {
        const std::uint64_t at = kMediaDataOffset + mdat->size;
        if (const auto moov = boxAt(f, at); moov && moov->type == fourcc("moov"))
            if (auto body = readBody(f, at, *moov))
                return body;
    }
    // Any other MP4: top-level boxes from the start.
    std::uint64_t pos = 0;
    while (const auto box = boxAt(f, pos)) {
        if (box->type == fourcc("moov")) {
            if (auto body = readBody(f, pos, *box))
                return body;
            break;
        }
        pos += box->size;
    }
    error = "no index";
    return std::nullopt;
}

} // namespace

std::optional<std::vector<QByteArray>> readSensorRecords(const std::filesystem::path &path, std::string &error)
{
    QFile f(QString::fromStdString(path.string()));
    if (!f.open(QIODevice::ReadOnly)) {
        error = "cannot open";
        return std::nullopt;
    }
    const auto moov = readIndex(f, error);
    if (!moov)
        return std::nullopt;
    const std::span<const std::uint8_t> body(reinterpret_cast<const std::uint8_t *>(moov->constData()),
                                             std::size_t(moov->size()));
    ByteReader tracks(body);
    while (auto box = nextBox(tracks)) {
        if (box->type != fourcc("trak"))
            continue;
        const auto hdlr = findPath(box->body, {fourcc("mdia"), fourcc("hdlr")});
        if (!hdlr || ByteReader(hdlr->body).u32beAt(8) != fourcc("sdsm"))
            continue;
        const auto stbl = findPath(box->body, {fourcc("mdia"), fourcc("minf"), fourcc("stbl")});
        const auto stsz = stbl ? findChild(stbl->body, fourcc("stsz")) : std::nullopt;
        const auto stco = stbl ? findChild(stbl->body, fourcc("stco")) : std::nullopt;
        const auto stsc = stbl ? findChild(stbl->body, fourcc("stsc")) : std::nullopt;
        const auto sizes = stsz ? tableEntries(*stsz, 1, true) : std::nullopt;
        const auto chunks = stco ? tableEntries(*stco, 1) : std::nullopt;
        const auto runs = stsc ? tableEntries(*stsc, 3) : std::nullopt;
        if (!sizes || !chunks || !runs) {
            error = "broken sensor track";
            return std::nullopt;
        }
        // Samples by chunk: each run gives the samples per chunk from its first chunk on.
        std::vector<QByteArray> records;
        std::size_t sample = 0;
        std::size_t run = 0; // entries of stsc in use, as triples
        std::uint32_t perChunk = 0;
        for (std::size_t c = 0; c < chunks->size() && sample < sizes->size(); ++c) {
            while (run * 3 + 2 < runs->size() && (*runs)[run * 3] <= c + 1)
                perChunk = (*runs)[run++ * 3 + 1];
            std::uint64_t offset = (*chunks)[c];
            for (std::uint32_t i = 0; i < perChunk && sample < sizes->size(); ++i, ++sample) {
                const std::uint32_t size = (*sizes)[sample];
                f.seek(qint64(offset));
                records.push_back(f.read(std::min<qint64>(size, kSensorRecordMax)));
                offset += size;
            }
        }
        return records;
    }
    error = "no sensor track";
    return std::nullopt;
}

} // namespace storage
