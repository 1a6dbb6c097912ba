// The partition source element. Properties: "device" (disk image or device node), "path"
// ("/FOLDER/NAME" on the partition), "key" (the listing's key). Random access in bytes, so
// the demuxers pull from it; see KrfsReader for what a backward seek costs.
#include "krfssrc.h"

#include "krfsreader.h"

#include <gst/base/gstbasesrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <mutex>
#include <new>

namespace playback {

namespace {

struct MeridoKrfsSrc {
    GstBaseSrc parent;
    // Properties: set from the application thread while the element is stopped
    // (GST_OBJECT_LOCK guards them).
    gchar *device;
    gchar *path;
    guint key;
    // Used only between start and stop: by the state change and the streaming thread,
    // which GstBaseSrc never runs at the same time.
    KrfsReader *reader;
};

struct MeridoKrfsSrcClass {
    GstBaseSrcClass parent_class;
};

enum { PROP_0, PROP_DEVICE, PROP_PATH, PROP_KEY };

GType merido_krfs_src_get_type();
G_DEFINE_TYPE(MeridoKrfsSrc, merido_krfs_src, GST_TYPE_BASE_SRC)

MeridoKrfsSrc *self(gpointer p)
{
    return reinterpret_cast<MeridoKrfsSrc *>(p);
}

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

void merido_krfs_src_init(MeridoKrfsSrc *src)
{
    src->device = nullptr;
    src->path = nullptr;
    src->key = 0;
    src->reader = nullptr;
    gst_base_src_set_format(GST_BASE_SRC(src), GST_FORMAT_BYTES);
    gst_base_src_set_blocksize(GST_BASE_SRC(src), 64 * 1024);
}

void finalize(GObject *object)
{
    MeridoKrfsSrc *src = self(object);
    delete src->reader;
    src->reader = nullptr;
    g_free(src->device);
    g_free(src->path);
    G_OBJECT_CLASS(merido_krfs_src_parent_class)->finalize(object);
}

void setProperty(GObject *object, guint id, const GValue *value, GParamSpec *pspec)
{
    MeridoKrfsSrc *src = self(object);
    GST_OBJECT_LOCK(src);
    switch (id) {
    case PROP_DEVICE:
        g_free(src->device);
        src->device = g_value_dup_string(value);
        break;
    case PROP_PATH:
        g_free(src->path);
        src->path = g_value_dup_string(value);
        break;
    case PROP_KEY:
        src->key = g_value_get_uint(value);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(src);
}

void getProperty(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    MeridoKrfsSrc *src = self(object);
    GST_OBJECT_LOCK(src);
    switch (id) {
    case PROP_DEVICE:
        g_value_set_string(value, src->device);
        break;
    case PROP_PATH:
        g_value_set_string(value, src->path);
        break;
    case PROP_KEY:
        g_value_set_uint(value, src->key);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(src);
}

// State change thread (READY to PAUSED).
gboolean start(GstBaseSrc *base)
{
    MeridoKrfsSrc *src = self(base);
    KrfsLocation where;
    GST_OBJECT_LOCK(src);
    where.device = src->device ? src->device : "";
    where.path = src->path ? src->path : "";
    where.key = src->key;
    GST_OBJECT_UNLOCK(src);
    if (where.device.empty() || where.path.empty() || where.key < 1) {
        GST_ELEMENT_ERROR(src, RESOURCE, NOT_FOUND, ("No partition file set."), (nullptr));
        return FALSE;
    }
    if (!src->reader)
        src->reader = new (std::nothrow) KrfsReader;
    if (!src->reader || !src->reader->open(where)) {
        GST_ELEMENT_ERROR(src, RESOURCE, OPEN_READ, ("Cannot open %s on the partition.", where.path.c_str()),
                          ("%s", src->reader ? src->reader->why().c_str() : "out of memory"));
        return FALSE;
    }
    return TRUE;
}

// State change thread (PAUSED to READY), after the streaming thread has stopped.
gboolean stop(GstBaseSrc *base)
{
    MeridoKrfsSrc *src = self(base);
    if (src->reader)
        src->reader->close();
    return TRUE;
}

gboolean isSeekable(GstBaseSrc *)
{
    return TRUE;
}

// Bytes, from the directory entry.
gboolean getSize(GstBaseSrc *base, guint64 *size)
{
    MeridoKrfsSrc *src = self(base);
    if (!src->reader || !src->reader->isOpen())
        return FALSE;
    *size = src->reader->size();
    return TRUE;
}

// Streaming thread (or the demuxer's thread in pull mode): `length` bytes from `offset`.
GstFlowReturn fill(GstBaseSrc *base, guint64 offset, guint length, GstBuffer *buf)
{
    MeridoKrfsSrc *src = self(base);
    if (!src->reader || !src->reader->isOpen())
        return GST_FLOW_FLUSHING;
    if (offset >= src->reader->size())
        return GST_FLOW_EOS;
    GstMapInfo map;
    if (!gst_buffer_map(buf, &map, GST_MAP_WRITE))
        return GST_FLOW_ERROR;
    const int64_t n = src->reader->readAt(offset, map.data, std::min<guint64>(length, map.size));
    gst_buffer_unmap(buf, &map);
    if (n < 0) {
        GST_ELEMENT_ERROR(src, RESOURCE, READ, ("Cannot read the partition file."),
                          ("at byte %" G_GUINT64_FORMAT, offset));
        return GST_FLOW_ERROR;
    }
    if (n == 0)
        return GST_FLOW_EOS;
    gst_buffer_set_size(buf, gssize(n));
    GST_BUFFER_OFFSET(buf) = offset;
    GST_BUFFER_OFFSET_END(buf) = offset + guint64(n);
    return GST_FLOW_OK;
}

void merido_krfs_src_class_init(MeridoKrfsSrcClass *klass)
{
    GObjectClass *object = G_OBJECT_CLASS(klass);
    object->set_property = setProperty;
    object->get_property = getProperty;
    object->finalize = finalize;
    const auto flags = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY);
    g_object_class_install_property(
        object, PROP_DEVICE,
        g_param_spec_string("device", "Device", "Disk image file or whole-disk device node", nullptr, flags));
    g_object_class_install_property(
        object, PROP_PATH, g_param_spec_string("path", "Path", "The file on the partition, /FOLDER/NAME", nullptr, flags));
    g_object_class_install_property(
        object, PROP_KEY, g_param_spec_uint("key", "Key", "The file's key in the folder listing", 0, G_MAXUINT32, 0, flags));

    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, "Partition file source", "Source/File",
                                          "Reads one recording from the camera card's partition", "MERIDO Viewer");
    gst_element_class_add_static_pad_template(element, &srcTemplate);

    GstBaseSrcClass *base = GST_BASE_SRC_CLASS(klass);
    base->start = start;
    base->stop = stop;
    base->is_seekable = isSeekable;
    base->get_size = getSize;
    base->fill = fill;
}

} // namespace

bool registerKrfsSrc()
{
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        registered = gst_element_register(nullptr, kKrfsSrcName, GST_RANK_NONE, merido_krfs_src_get_type());
    });
    return registered;
}

} // namespace playback
