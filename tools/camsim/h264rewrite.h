// Rewrites H.264 slices from the encoder for the camera's fixed parameter sets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace camsim {

using Bytes = std::vector<std::uint8_t>;

// NAL payload without emulation-prevention bytes, and back.
Bytes nalToRbsp(std::span<const std::uint8_t> nal);
Bytes rbspToNal(std::span<const std::uint8_t> rbsp);

// What a slice header's layout depends on, from an SPS.
struct SpsInfo {
    int widthMbs = 0;
    int heightMbs = 0;
    int log2MaxFrameNum = 0;
    int pocType = 0;
    int log2MaxPocLsb = 0; // poc type 0 only
    bool frameMbsOnly = false;
    int maxRefFrames = 0;
};
std::optional<SpsInfo> parseSps(std::span<const std::uint8_t> nal);

// What the camera's SPS sets for slice headers: frame_num and picture order count lsb of
// 16 bits each, picture order count type 0.
constexpr SpsInfo kCameraSpsInfo{0, 0, 16, 0, 16, true, 1};

// Rewrites the slices of one stream, keeping the count of frames since the last IDR.
// The source must use the camera's PPS (CABAC, no weighted prediction, one reference).
class SliceRewriter {
public:
    explicit SliceRewriter(const SpsInfo &source) : m_source(source) {}

    // One coded slice NAL (types 1 and 5, header byte included) in the camera's form:
    // IDR slices start 65 B8 00, P slices 41 E0. Empty on a slice it cannot handle.
    Bytes rewrite(std::span<const std::uint8_t> nal);

private:
    SpsInfo m_source;
    std::uint32_t m_sinceIdr = 0;
};

} // namespace camsim
