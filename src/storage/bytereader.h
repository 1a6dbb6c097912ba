// Bounds-checked reading and big-endian writing of binary fields (MP4 boxes, sensor records).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace storage {

// A four-character code as the 32-bit big-endian value it has in a file.
constexpr std::uint32_t fourcc(const char (&s)[5])
{
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16)
        | (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

// Reads fields from a byte range. A read past the end yields zeros, leaves the position at
// the end and clears ok(), so a caller may read a whole structure and check once.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}

    std::size_t size() const { return m_data.size(); }
    std::size_t pos() const { return m_pos; }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    bool ok() const { return m_ok; }

    bool seek(std::size_t pos)
    {
        if (pos > m_data.size())
            return fail();
        m_pos = pos;
        return true;
    }
    bool skip(std::size_t n) { return n <= remaining() ? (m_pos += n, true) : fail(); }

    std::uint8_t u8() { return std::uint8_t(take(1)); }
    std::uint16_t u16be() { return std::uint16_t(take(2)); }
    std::uint32_t u32be() { return std::uint32_t(take(4)); }
    std::uint64_t u64be() { return take(8); }
    std::uint16_t u16le()
    {
        const std::uint16_t be = u16be();
        return std::uint16_t((be >> 8) | (be << 8));
    }
    // The next n bytes, or an empty span (and !ok()) when fewer are left.
    std::span<const std::uint8_t> bytes(std::size_t n)
    {
        if (n > remaining()) {
            fail();
            return {};
        }
        auto s = m_data.subspan(m_pos, n);
        m_pos += n;
        return s;
    }

    // Random access without moving; 0 outside the range.
    std::uint8_t at(std::size_t i) const { return i < m_data.size() ? m_data[i] : 0; }
    std::uint32_t u32beAt(std::size_t i) const
    {
        return (std::uint32_t(at(i)) << 24) | (std::uint32_t(at(i + 1)) << 16)
            | (std::uint32_t(at(i + 2)) << 8) | std::uint32_t(at(i + 3));
    }
    // Whether the bytes of s lie at i, entirely inside the range.
    bool matchAt(std::size_t i, std::string_view s) const
    {
        if (i > m_data.size() || s.size() > m_data.size() - i)
            return false;
        for (std::size_t k = 0; k < s.size(); ++k)
            if (m_data[i + k] != std::uint8_t(s[k]))
                return false;
        return true;
    }

private:
    bool fail()
    {
        m_ok = false;
        m_pos = m_data.size();
        return false;
    }
    std::uint64_t take(std::size_t n)
    {
        if (n > remaining()) {
            fail();
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t k = 0; k < n; ++k)
            v = (v << 8) | m_data[m_pos + k];
        m_pos += n;
        return v;
    }

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// Appends big-endian fields to a growing buffer; boxes get their size patched when closed.
class ByteWriter {
public:
    void u8(std::uint32_t v) { m_buf.push_back(std::uint8_t(v)); }
    void u16(std::uint32_t v) { put(v, 2); }
    void u24(std::uint32_t v) { put(v, 3); }
    void u32(std::uint32_t v) { put(v, 4); }
    void u64(std::uint64_t v) { put(v, 8); }
    void zeros(std::size_t n) { m_buf.insert(m_buf.end(), n, 0); }
    void bytes(std::span<const std::uint8_t> b) { m_buf.insert(m_buf.end(), b.begin(), b.end()); }
    void text(std::string_view s) { m_buf.insert(m_buf.end(), s.begin(), s.end()); }

    // Starts a box of the given type; returns the handle for endBox.
    std::size_t beginBox(std::uint32_t type)
    {
        const std::size_t at = m_buf.size();
        u32(0);
        u32(type);
        return at;
    }
    std::size_t beginFullBox(std::uint32_t type, std::uint32_t versionAndFlags)
    {
        const std::size_t at = beginBox(type);
        u32(versionAndFlags);
        return at;
    }
    void endBox(std::size_t at) { patch32(at, std::uint32_t(m_buf.size() - at)); }
    void patch32(std::size_t at, std::uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            m_buf[at + std::size_t(k)] = std::uint8_t(v >> (24 - 8 * k));
    }

    std::size_t size() const { return m_buf.size(); }
    const std::vector<std::uint8_t> &data() const { return m_buf; }
    std::vector<std::uint8_t> take() { return std::move(m_buf); }

private:
    void put(std::uint64_t v, int n)
    {
        for (int k = n - 1; k >= 0; --k)
            m_buf.push_back(std::uint8_t(v >> (8 * k)));
    }
    std::vector<std::uint8_t> m_buf;
};

} // namespace storage
