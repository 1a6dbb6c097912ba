// Owning handles for GStreamer and GLib objects: one reference each, released on scope exit.
#pragma once

#include <gst/gst.h>

#include <utility>

namespace playback {

// How a handle takes and drops a reference for one C type.
template<typename T>
struct GstRefTraits {
    static constexpr bool kGstObject = true; // may be floating when new
    static void ref(T *p) { gst_object_ref(p); }
    static void unref(T *p) { gst_object_unref(p); }
};
template<>
struct GstRefTraits<GstMessage> {
    static void ref(GstMessage *p) { gst_message_ref(p); }
    static void unref(GstMessage *p) { gst_message_unref(p); }
};
template<>
struct GstRefTraits<GstSample> {
    static void ref(GstSample *p) { gst_sample_ref(p); }
    static void unref(GstSample *p) { gst_sample_unref(p); }
};
template<>
struct GstRefTraits<GstCaps> {
    static void ref(GstCaps *p) { gst_caps_ref(p); }
    static void unref(GstCaps *p) { gst_caps_unref(p); }
};
template<>
struct GstRefTraits<GstBuffer> {
    static void ref(GstBuffer *p) { gst_buffer_ref(p); }
    static void unref(GstBuffer *p) { gst_buffer_unref(p); }
};
template<>
struct GstRefTraits<GstQuery> {
    static void ref(GstQuery *p) { gst_query_ref(p); }
    static void unref(GstQuery *p) { gst_query_unref(p); }
};
template<>
struct GstRefTraits<GstElementFactory> {
    static void ref(GstElementFactory *p) { gst_object_ref(p); }
    static void unref(GstElementFactory *p) { gst_object_unref(p); }
};

// Holds one reference. Constructing from a raw pointer adopts a reference the caller owns
// (what a *_new or *_get_* "transfer full" call returns); ref() adds one to a borrowed pointer.
// A floating element is sunk on adoption, so a handle always owns a real reference.
template<typename T>
class GstHandle {
public:
    GstHandle() = default;
    explicit GstHandle(T *owned) : m_p(owned) { sinkIfFloating(); }
    static GstHandle ref(T *borrowed)
    {
        if (borrowed)
            GstRefTraits<T>::ref(borrowed);
        return GstHandle(borrowed);
    }
    ~GstHandle() { reset(); }
    GstHandle(const GstHandle &o) : m_p(o.m_p)
    {
        if (m_p)
            GstRefTraits<T>::ref(m_p);
    }
    GstHandle &operator=(const GstHandle &o)
    {
        GstHandle copy(o);
        swap(copy);
        return *this;
    }
    GstHandle(GstHandle &&o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    GstHandle &operator=(GstHandle &&o) noexcept
    {
        GstHandle moved(std::move(o));
        swap(moved);
        return *this;
    }

    void reset(T *owned = nullptr)
    {
        if (m_p)
            GstRefTraits<T>::unref(m_p);
        m_p = owned;
        sinkIfFloating();
    }
    T *release() { return std::exchange(m_p, nullptr); }
    void swap(GstHandle &o) noexcept { std::swap(m_p, o.m_p); }

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    void sinkIfFloating()
    {
        if constexpr (requires { GstRefTraits<T>::kGstObject; }) {
            if (m_p && g_object_is_floating(m_p))
                gst_object_ref_sink(m_p);
        }
    }

    T *m_p = nullptr;
};

using ElementHandle = GstHandle<GstElement>;
using BusHandle = GstHandle<GstBus>;
using PadHandle = GstHandle<GstPad>;
using MessageHandle = GstHandle<GstMessage>;
using SampleHandle = GstHandle<GstSample>;
using CapsHandle = GstHandle<GstCaps>;

// A string GLib allocated (g_free on scope exit).
class GStringHandle {
public:
    explicit GStringHandle(gchar *owned = nullptr) : m_p(owned) {}
    ~GStringHandle() { g_free(m_p); }
    GStringHandle(const GStringHandle &) = delete;
    GStringHandle &operator=(const GStringHandle &) = delete;
    const gchar *get() const { return m_p ? m_p : ""; }

private:
    gchar *m_p;
};

// A GError filled by a GLib call (freed on scope exit).
class GErrorHandle {
public:
    GErrorHandle() = default;
    ~GErrorHandle() { g_clear_error(&m_p); }
    GErrorHandle(const GErrorHandle &) = delete;
    GErrorHandle &operator=(const GErrorHandle &) = delete;
    GError **out() { return &m_p; }
    const char *message() const { return m_p && m_p->message ? m_p->message : ""; }

private:
    GError *m_p = nullptr;
};

} // namespace playback
