// Encodes pictures with x264 and turns each frame into one slice in the camera's form.
#pragma once

#include "h264rewrite.h"
#include "scene.h"

#include <memory>
#include <string>

namespace camsim {

struct VideoSettings {
    int width = 1920;
    int height = 1080;
    int fpsNum = 30;  // frame rate as a fraction (front: 14910 / 512)
    int fpsDen = 1;
    int bitrateKbps = 2000;
    int keyint = 30;  // frames from one IDR to the next; below 2048 so P slices start 41 E0
};

class VideoEncoder {
public:
    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder &) = delete;
    VideoEncoder &operator=(const VideoEncoder &) = delete;

    // False (with error()) when x264 refuses the settings or its PPS is not the camera's.
    bool open(const VideoSettings &settings);
    // Encodes one picture. out receives the frame's slice in the camera's form; when
    // original is given, it receives x264's own NAL units of the call (parameter sets,
    // SEI, slice) for comparison. False on an encoder failure.
    bool encode(const Picture &pic, Bytes &out, std::vector<Bytes> *original = nullptr);
    const std::string &error() const { return m_error; }

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    std::string m_error;
};

} // namespace camsim
