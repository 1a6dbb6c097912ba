// Checks once that every GStreamer element the playback pipeline is built from is installed.
//
// There is nothing to register here: GStreamer finds its elements through its plugin registry,
// and no decoder keeps a list of programs it will work in, so the probe only asks the registry
// and names what is missing.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace playback {

// Probe results, in probe order: the first group with a missing element decides.
enum FilterProbeCode : int {
    FiltersPresent = 1,
    MissingStreamParser = -1,  // file source, demuxers, H.264 parser, queue
    MissingVideoDecoder = -2,  // H.264 decoder, flip, conversion, picture sink
    MissingAudioDecoder = -3,  // AAC parser and decoder: recordings then play without sound
    MissingPictureFilter = -4, // picture settings (videobalance)
};

struct FilterProbeResult {
    int code = FiltersPresent;
    std::vector<std::string> missing; // element factory names, in probe order
};

// Asks the registry for every element; missing lists all absent ones, code names the first
// group that has one.
FilterProbeResult ProbeFilters();
// The same with another answer to "is this element factory installed?".
FilterProbeResult ProbeFilters(const std::function<bool(const char *factory)> &installed);

// Whether the viewer can play at all. False when the stream parser, video decoder or picture
// elements are missing: the main window then shows "Not Find QZ filter" and closes. A missing
// AAC decoder only silences recordings and is not reported. Missing elements are named on
// standard output.
bool EnsureFilters();
bool EnsureFilters(const FilterProbeResult &probe);

} // namespace playback
