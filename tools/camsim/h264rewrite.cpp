#include "h264rewrite.h"

#include <array>

namespace camsim {

namespace {

class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> data) : m_data(data) {}
    bool ok() const { return m_ok; }
    std::size_t bitPos() const { return m_pos; }
    std::uint32_t u(int n)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (m_pos >= m_data.size() * 8) {
                m_ok = false;
                return 0;
            }
            v = (v << 1) | ((m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1);
            ++m_pos;
        }
        return v;
    }
    std::uint32_t ue()
    {
        int zeros = 0;
        while (u(1) == 0) {
            if (!m_ok || ++zeros > 31) {
                m_ok = false;
                return 0;
            }
        }
        return (std::uint32_t(1) << zeros) - 1 + u(zeros);
    }
    std::int32_t se()
    {
        const std::uint32_t k = ue();
        return (k & 1) ? std::int32_t((k + 1) / 2) : -std::int32_t(k / 2);
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

class BitWriter {
public:
    void u(int n, std::uint32_t v)
    {
        for (int i = n - 1; i >= 0; --i)
            bit((v >> i) & 1);
    }
    void ue(std::uint32_t v)
    {
        const std::uint64_t x = std::uint64_t(v) + 1;
        int bits = 0;
        while ((x >> bits) > 1)
            ++bits;
        u(bits, 0);
        for (int i = bits; i >= 0; --i)
            bit(std::uint32_t(x >> i) & 1);
    }
    void se(std::int32_t v) { ue(v > 0 ? std::uint32_t(2 * v - 1) : std::uint32_t(-2 * std::int64_t(v))); }
    void alignWithOnes()
    {
        while (m_bits != 0)
            bit(1);
    }
    Bytes &bytes() { return m_out; }

private:
    void bit(std::uint32_t b)
    {
        if (m_bits == 0)
            m_out.push_back(0);
        if (b)
            m_out.back() |= std::uint8_t(0x80 >> m_bits);
        m_bits = (m_bits + 1) & 7;
    }
    Bytes m_out;
    int m_bits = 0;
};

constexpr int kSliceP = 0;
constexpr int kSliceI = 2;

} // namespace

Bytes nalToRbsp(std::span<const std::uint8_t> nal)
{
    Bytes out;
    out.reserve(nal.size());
    int zeros = 0;
    for (std::uint8_t b : nal) {
        if (zeros >= 2 && b == 3) {
            zeros = 0;
            continue;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
}

Bytes rbspToNal(std::span<const std::uint8_t> rbsp)
{
    Bytes out;
    out.reserve(rbsp.size() + rbsp.size() / 64);
    int zeros = 0;
    for (std::uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    // A NAL must not end in a zero byte (cabac_zero_words end that way).
    if (!out.empty() && out.back() == 0)
        out.push_back(3);
    return out;
}

std::optional<SpsInfo> parseSps(std::span<const std::uint8_t> nal)
{
    if (nal.empty() || (nal[0] & 0x1F) != 7)
        return std::nullopt;
    const Bytes rbsp = nalToRbsp(nal.subspan(1));
    BitReader r(rbsp);
    SpsInfo s;
    const std::uint32_t profile = r.u(8);
    r.u(16); // constraint flags, level
    r.ue();  // id
    if (profile == 100 || profile == 110 || profile == 122 || profile == 244) {
        if (r.ue() == 3) // chroma format
            r.u(1);
        r.ue();
        r.ue();
        r.u(1);
        if (r.u(1)) // scaling matrices: not produced by our encoder settings
            return std::nullopt;
    }
    s.log2MaxFrameNum = int(r.ue()) + 4;
    s.pocType = int(r.ue());
    if (s.pocType == 0)
        s.log2MaxPocLsb = int(r.ue()) + 4;
    else if (s.pocType == 1)
        return std::nullopt;
    s.maxRefFrames = int(r.ue());
    r.u(1);
    s.widthMbs = int(r.ue()) + 1;
    s.heightMbs = int(r.ue()) + 1;
    s.frameMbsOnly = r.u(1) != 0;
    if (!r.ok())
        return std::nullopt;
    return s;
}

Bytes SliceRewriter::rewrite(std::span<const std::uint8_t> nal)
{
    if (nal.size() < 2 || !m_source.frameMbsOnly)
        return {};
    const int nalType = nal[0] & 0x1F;
    if (nalType != 1 && nalType != 5)
        return {};
    const bool idr = nalType == 5;
    const Bytes rbsp = nalToRbsp(nal.subspan(1));
    BitReader r(rbsp);
    BitWriter w;

    const std::uint32_t firstMb = r.ue();
    const int sliceType = int(r.ue() % 5);
    const std::uint32_t ppsId = r.ue();
    r.u(m_source.log2MaxFrameNum); // frame_num: recounted below
    const std::uint32_t idrPicId = idr ? r.ue() : 0;
    if (m_source.pocType == 0)
        r.u(m_source.log2MaxPocLsb);
    if ((sliceType != kSliceP && sliceType != kSliceI) || (idr && sliceType != kSliceI) || firstMb != 0
        || ppsId != 0)
        return {};
    if (idr)
        m_sinceIdr = 0;

    const SpsInfo &camera = kCameraSpsInfo;
    w.ue(firstMb);
    w.ue(std::uint32_t(sliceType));
    w.ue(ppsId);
    w.u(camera.log2MaxFrameNum, m_sinceIdr & 0xFFFF);
    if (idr)
        w.ue(idrPicId);
    // Every frame is a reference frame shown in decoding order: two counts per frame.
    w.u(camera.log2MaxPocLsb, (2 * m_sinceIdr) & 0xFFFF);

    if (sliceType == kSliceP) {
        const std::uint32_t override = r.u(1);
        w.u(1, override);
        if (override)
            w.ue(r.ue());
        const std::uint32_t modification = r.u(1);
        w.u(1, modification);
        if (modification) {
            for (;;) {
                const std::uint32_t idc = r.ue();
                w.ue(idc);
                if (idc == 3 || !r.ok())
                    break;
                w.ue(r.ue());
            }
        }
    }
    if (idr) {
        w.u(1, r.u(1)); // no_output_of_prior_pics
        w.u(1, r.u(1)); // long_term_reference
    } else {
        const std::uint32_t adaptive = r.u(1);
        w.u(1, adaptive);
        if (adaptive) {
            for (;;) {
                const std::uint32_t op = r.ue();
                w.ue(op);
                if (op == 0 || !r.ok())
                    break;
                if (op == 1 || op == 3)
                    w.ue(r.ue());
                if (op == 2)
                    w.ue(r.ue());
                if (op == 3 || op == 6)
                    w.ue(r.ue());
                if (op == 4)
                    w.ue(r.ue());
            }
        }
    }
    if (sliceType != kSliceI)
        w.ue(r.ue()); // cabac_init_idc
    w.se(r.se());     // slice_qp_delta: both PPS start at QP 26
    const std::uint32_t deblock = r.ue();
    w.ue(deblock);
    if (deblock != 1) {
        w.se(r.se());
        w.se(r.se());
    }
    if (!r.ok())
        return {};
    // CABAC slice data starts byte-aligned after one-bits; it is copied unchanged.
    w.alignWithOnes();
    const std::size_t dataStart = (r.bitPos() + 7) / 8;
    Bytes &out = w.bytes();
    out.insert(out.end(), rbsp.begin() + std::ptrdiff_t(dataStart), rbsp.end());

    Bytes result;
    result.push_back(idr ? 0x65 : 0x41);
    const Bytes escaped = rbspToNal(out);
    result.insert(result.end(), escaped.begin(), escaped.end());
    ++m_sinceIdr;
    return result;
}

} // namespace camsim
