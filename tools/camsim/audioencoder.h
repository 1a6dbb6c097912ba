// AAC-LC frames (16 kHz, stereo, 1024 samples each) from GStreamer's voaacenc.
#pragma once

#include "h264rewrite.h"

#include <string>
#include <vector>

namespace camsim {

constexpr int kAudioRate = 16000;       // Hz
constexpr int kAudioFrameSamples = 1024; // per channel

// Encodes frameCount frames of a soft hum with a short beep at every whole second of
// media time. Raw AAC frames (no ADTS header). False with error on a pipeline failure.
bool encodeAudio(int frameCount, std::vector<Bytes> &frames, std::string &error);

} // namespace camsim
