#include "videoencoder.h"

#include "recordingindex.h"

#include <algorithm>
#include <cstring>
#include <optional>

extern "C" {
#include <x264.h>
}

namespace camsim {

struct VideoEncoder::Impl {
    x264_t *encoder = nullptr;
    x264_param_t param{};
    std::optional<SliceRewriter> rewriter;
    std::int64_t pts = 0;

    ~Impl()
    {
        if (encoder)
            x264_encoder_close(encoder);
    }
};

VideoEncoder::VideoEncoder() : d(std::make_unique<Impl>()) {}
VideoEncoder::~VideoEncoder() = default;

bool VideoEncoder::open(const VideoSettings &s)
{
    x264_param_t &p = d->param;
    if (x264_param_default_preset(&p, "superfast", nullptr) < 0) {
        m_error = "x264 preset";
        return false;
    }
    p.i_log_level = X264_LOG_ERROR;
    p.i_width = s.width;
    p.i_height = s.height;
    p.i_csp = X264_CSP_I420;
    p.i_fps_num = std::uint32_t(s.fpsNum);
    p.i_fps_den = std::uint32_t(s.fpsDen);
    p.b_vfr_input = 0;
    // One thread gives one slice per frame and the same output on every run.
    p.i_threads = 1;
    p.b_sliced_threads = 0;
    p.i_sync_lookahead = 0;
    p.rc.i_lookahead = 0;
    p.b_deterministic = 1;
    // Only IDR and P frames: fixed GOP, no scene cuts, no B-frames.
    p.i_keyint_max = s.keyint;
    p.i_keyint_min = s.keyint;
    p.i_scenecut_threshold = 0;
    p.b_open_gop = 0;
    p.b_aud = 0;
    p.b_repeat_headers = 1;
    p.b_annexb = 0; // 4-byte length prefixes, as in the recording
    // These give the camera's PPS 68 EE 3C B0 (CABAC, 8x8 transform, initial QP 26).
    for (const auto &[name, value] : {std::pair{"ref", "1"}, {"bframes", "0"}, {"weightp", "0"}, {"psy", "0"}})
        if (x264_param_parse(&p, name, value) < 0) {
            m_error = std::string("x264 option ") + name;
            return false;
        }
    p.rc.i_rc_method = X264_RC_ABR;
    p.rc.i_bitrate = s.bitrateKbps;
    if (x264_param_apply_profile(&p, "high") < 0) {
        m_error = "x264 profile";
        return false;
    }
    d->encoder = x264_encoder_open(&p);
    if (!d->encoder) {
        m_error = "x264 refused the settings";
        return false;
    }
    x264_nal_t *nals = nullptr;
    int count = 0;
    if (x264_encoder_headers(d->encoder, &nals, &count) < 0) {
        m_error = "x264 headers";
        return false;
    }
    std::optional<SpsInfo> sps;
    bool ppsMatches = false;
    for (int i = 0; i < count; ++i) {
        const std::span<const std::uint8_t> nal(nals[i].p_payload + 4, std::size_t(nals[i].i_payload - 4));
        if (nals[i].i_type == NAL_SPS)
            sps = parseSps(nal);
        if (nals[i].i_type == NAL_PPS) {
            const auto want = storage::cameraPps();
            ppsMatches = nal.size() == want.size() && std::equal(want.begin(), want.end(), nal.begin());
        }
    }
    if (!sps || !sps->frameMbsOnly || !ppsMatches) {
        m_error = "x264's parameter sets do not fit the camera's";
        return false;
    }
    d->rewriter.emplace(*sps);
    return true;
}

bool VideoEncoder::encode(const Picture &pic, Bytes &out, std::vector<Bytes> *original)
{
    out.clear();
    x264_picture_t in;
    x264_picture_init(&in);
    in.img.i_csp = X264_CSP_I420;
    in.img.i_plane = 3;
    in.img.plane[0] = const_cast<std::uint8_t *>(pic.y.data());
    in.img.plane[1] = const_cast<std::uint8_t *>(pic.u.data());
    in.img.plane[2] = const_cast<std::uint8_t *>(pic.v.data());
    in.img.i_stride[0] = pic.width;
    in.img.i_stride[1] = pic.width / 2;
    in.img.i_stride[2] = pic.width / 2;
    in.i_pts = d->pts++;
    x264_picture_t outPic;
    x264_nal_t *nals = nullptr;
    int count = 0;
    // No lookahead and no B-frames: every call returns the frame it was given.
    if (x264_encoder_encode(d->encoder, &nals, &count, &in, &outPic) <= 0) {
        m_error = "x264 returned no frame";
        return false;
    }
    int slices = 0;
    for (int i = 0; i < count; ++i) {
        const std::span<const std::uint8_t> nal(nals[i].p_payload + 4, std::size_t(nals[i].i_payload - 4));
        if (original)
            original->emplace_back(nal.begin(), nal.end());
        if (nals[i].i_type != NAL_SLICE && nals[i].i_type != NAL_SLICE_IDR)
            continue;
        out = d->rewriter->rewrite(nal);
        ++slices;
    }
    if (slices != 1 || out.empty()) {
        m_error = "x264 frame is not one rewritable slice";
        return false;
    }
    return true;
}

} // namespace camsim
