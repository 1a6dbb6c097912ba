#include "resourcelibrary.h"

#include <QFile>
#include <QResource>

#include <list>

#include <QtEndian>

#include <vector>

namespace {

// Layout of the format, versions 1 to 3 (all offsets are big-endian 32-bit):
//   header: "qres", version, tree offset, data offset, names offset[, flags from version 3]
//   tree node: name offset (4), flags (2), then for a directory child count (4) and index
//     of the first child node (4), for a file country (2), language (2) and data offset
//     (4); from version 2 a modification time (8) follows
//   name: length in UTF-16 units (2), hash (4), the characters
//   data: size (4), the bytes
constexpr qsizetype kHeaderSize = 20;
constexpr quint16 kDirectory = 0x02;

class Reader {
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}

    // Whether [offset, offset + length) lies inside the file; negative values never do.
    bool holds(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_data.size() && length <= m_data.size() - offset;
    }
    qint32 i32(qint64 offset) const { return qFromBigEndian<qint32>(m_data.data() + offset); }
    quint16 u16(qint64 offset) const { return qFromBigEndian<quint16>(m_data.data() + offset); }
    qsizetype size() const { return m_data.size(); }

private:
    QByteArrayView m_data;
};

} // namespace

bool isWellFormedResourceFile(QByteArrayView data)
{
    const Reader in(data);
    if (!in.holds(0, kHeaderSize) || !data.startsWith("qres"))
        return false;
    const qint32 version = in.i32(4);
    const qint64 tree = in.i32(8);
    const qint64 payloads = in.i32(12);
    const qint64 names = in.i32(16);
    if (version < 1 || version > 3 || (version >= 3 && !in.holds(0, kHeaderSize + 4)))
        return false;
    if (!in.holds(tree, 0) || !in.holds(payloads, 0) || !in.holds(names, 0))
        return false;
    const qint64 nodeSize = version >= 2 ? 22 : 14;

    // Walk every node reachable from the root (node 0); each node is checked once, so a
    // damaged tree that points back into itself ends too.
    const qint64 maxNodes = (in.size() - tree) / nodeSize;
    std::vector<bool> seen(size_t(qMax<qint64>(maxNodes, 0)), false);
    std::vector<qint64> pending{0};
    while (!pending.empty()) {
        const qint64 node = pending.back();
        pending.pop_back();
        if (node < 0 || node >= maxNodes)
            return false;
        if (seen[size_t(node)])
            continue;
        seen[size_t(node)] = true;
        const qint64 at = tree + node * nodeSize;

        if (node != 0) { // the root has no name
            const qint64 name = names + qint64(in.i32(at));
            if (!in.holds(name, 6) || !in.holds(name + 6, qint64(in.u16(name)) * 2))
                return false;
        }
        if (in.u16(at + 4) & kDirectory) {
            const qint64 count = in.i32(at + 6);
            const qint64 first = in.i32(at + 10);
            if (count < 0 || first < 1 || count > maxNodes || first > maxNodes - count)
                return false;
            for (qint64 child = first; child < first + count; ++child)
                pending.push_back(child);
        } else {
            const qint64 blob = payloads + qint64(in.i32(at + 10));
            if (!in.holds(blob, 4) || !in.holds(blob + 4, in.i32(blob)))
                return false;
        }
    }
    return true;
}

namespace {

// Far above any skin (a few hundred KiB); a bigger file is not ours.
constexpr qint64 kMaxLibraryBytes = 64 * 1024 * 1024;

} // namespace

bool loadResourceLibrary(const QString &rccPath)
{
    QFile file(rccPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxLibraryBytes)
        return false;
    QByteArray data = file.readAll();
    if (!isWellFormedResourceFile(data))
        return false;
    // Qt reads the registered bytes in place, and the library stays loaded for the whole
    // run, so the checked copy is kept until the process ends.
    static std::list<QByteArray> libraries;
    libraries.push_back(std::move(data));
    if (QResource::registerResource(reinterpret_cast<const uchar *>(libraries.back().constData())))
        return true;
    libraries.pop_back();
    return false;
}
