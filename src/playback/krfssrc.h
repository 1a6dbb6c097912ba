// "meridokrfssrc": a pull-mode GstBaseSrc that reads one file of the card's partition.
#pragma once

namespace playback {

// The element's factory name.
inline constexpr char kKrfsSrcName[] = "meridokrfssrc";

// Registers the element with GStreamer once per process (after gst_init); later calls do
// nothing. False when registration failed.
bool registerKrfsSrc();

} // namespace playback
