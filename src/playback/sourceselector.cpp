#include "sourceselector.h"

#include "krfsreader.h"
#include "krfssrc.h"

#include <QFile>

#include <algorithm>

namespace playback {

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
