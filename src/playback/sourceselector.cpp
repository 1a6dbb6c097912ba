#include "sourceselector.h"

#include "krfsreader.h"
#include "krfssrc.h"

#include <QFile>

#include <algorithm>

namespace playback {

namespace {

// A partition file as a read-only, random-access QIODevice. Unbuffered, so that pos() in
// readData is the offset asked for.
class KrfsFileDevice : public QIODevice {
public:
    bool open(const KrfsLocation &where)
    {
        return m_reader.open(where) && QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return qint64(m_reader.size()); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (maxSize < 0 || pos() < 0)
            return -1;
        return m_reader.readAt(uint64_t(pos()), data, uint64_t(maxSize));
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    KrfsReader m_reader;
};

} // namespace

ElementHandle SourceSelector::makeElement(const std::string &path)
{
    if (isKrfsUri(path)) {
        const auto where = KrfsLocation::parse(path);
        if (!where || !registerKrfsSrc())
            return {};
        ElementHandle src(gst_element_factory_make(kKrfsSrcName, nullptr));
        if (src)
            g_object_set(src.get(), "device", where->device.c_str(), "path", where->path.c_str(), "key",
                         guint(where->key), nullptr);
        return src;
    }
    ElementHandle src(gst_element_factory_make("filesrc", nullptr));
    if (src)
        g_object_set(src.get(), "location", path.c_str(), nullptr);
    return src;
}

QByteArray SourceSelector::readHead(const std::string &path, int size)
{
    if (size <= 0)
        return {};
    if (isKrfsUri(path)) {
        const auto where = KrfsLocation::parse(path);
        KrfsReader reader;
        if (!where || !reader.open(*where))
            return {};
        QByteArray head(qsizetype(std::min<uint64_t>(uint64_t(size), reader.size())), '\0');
        const int64_t n = reader.readAt(0, head.data(), uint64_t(head.size()));
        if (n < 0)
            return {};
        head.truncate(qsizetype(n));
        return head;
    }
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(size);
}

} // namespace playback

namespace playback {

std::unique_ptr<QIODevice> SourceSelector::openFile(const std::string &path)
{
    if (isKrfsUri(path)) {
        const auto where = KrfsLocation::parse(path);
        auto device = std::make_unique<KrfsFileDevice>();
        if (!where || !device->open(*where))
            return nullptr;
        return device;
    }
    auto file = std::make_unique<QFile>(QString::fromStdString(path));
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    return file;
}

} // namespace playback
