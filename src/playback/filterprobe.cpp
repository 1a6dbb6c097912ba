#include "filterprobe.h"

#include "gsthandle.h"

#include <array>
#include <cstdio>

namespace playback {

namespace {

struct FilterGroup {
    int code;
    std::array<const char *, 6> factories; // null-padded
};

constexpr std::array kGroups{
    FilterGroup{MissingStreamParser, {"filesrc", "qtdemux", "avidemux", "h264parse", "queue", nullptr}},
    FilterGroup{MissingVideoDecoder, {"avdec_h264", "videoflip", "videoconvert", "capsfilter", "appsink", nullptr}},
    FilterGroup{MissingAudioDecoder, {"aacparse", "avdec_aac", "audioconvert", "scaletempo", "audioresample", "volume"}},
    FilterGroup{MissingPictureFilter, {"videobalance", nullptr, nullptr, nullptr, nullptr, nullptr}},
};

} // namespace

FilterProbeResult ProbeFilters()
{
    gst_init(nullptr, nullptr);
    return ProbeFilters([](const char *name) { return bool(GstHandle<GstElementFactory>(gst_element_factory_find(name))); });
}

FilterProbeResult ProbeFilters(const std::function<bool(const char *factory)> &installed)
{
    FilterProbeResult result;
    for (const FilterGroup &group : kGroups) {
        for (const char *name : group.factories) {
            if (!name)
                break;
            if (installed(name))
                continue;
            result.missing.emplace_back(name);
            if (result.code == FiltersPresent)
                result.code = group.code;
        }
    }
    return result;
}

bool EnsureFilters()
{
    return EnsureFilters(ProbeFilters());
}

bool EnsureFilters(const FilterProbeResult &probe)
{
    for (const std::string &name : probe.missing)
        std::printf("GStreamer element \"%s\" is not installed\n", name.c_str());
    return probe.code == FiltersPresent || probe.code == MissingAudioDecoder;
}

} // namespace playback
