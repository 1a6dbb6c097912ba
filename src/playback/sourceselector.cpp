#include "sourceselector.h"

#include <QFile>

namespace playback {

ElementHandle SourceSelector::makeElement(const std::string &path)
{
    ElementHandle src(gst_element_factory_make("filesrc", nullptr));
    if (src)
        g_object_set(src.get(), "location", path.c_str(), nullptr);
    return src;
}

QByteArray SourceSelector::readHead(const std::string &path, int size)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(size);
}

} // namespace playback
