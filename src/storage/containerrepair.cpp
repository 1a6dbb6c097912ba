#include "containerrepair.h"

#include "bytereader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace storage {

namespace {

// Every offset and size of the index is 32 bits: records must end below this (bytes).
constexpr std::uint64_t kMaxRecordEnd = 0xFFFF0000;
constexpr std::size_t kAudioLookahead = 512;   // bytes read after an audio frame's header
constexpr std::size_t kAudioSearchLast = 505;  // last position searched in them
constexpr std::size_t kSensorLookahead = 256;  // bytes read from a sensor record's start
constexpr std::size_t kSensorSearchLast = 250;
constexpr std::size_t kMarkerToEnd = 16;       // record end, counted from the marker's start
constexpr std::string_view kMarker = "ZIRPM";

bool isPSlice(const ByteReader &b, std::size_t i)
{
    return b.at(i + 4) == 0x41 && b.at(i + 5) == 0xE0 && i + 5 < b.size();
}
bool isIdrSlice(const ByteReader &b, std::size_t i)
{
    return b.at(i + 4) == 0x65 && b.at(i + 5) == 0xB8 && b.at(i + 6) == 0x00 && i + 6 < b.size();
}
bool isSensorStart(const ByteReader &b, std::size_t i)
{
    return b.at(i) == 'G' && (b.matchAt(i + 1, "$GPRMC") || b.matchAt(i + 1, "XYZ"));
}
// First position in [from, last] where the marker lies wholly inside b, or -1.
std::ptrdiff_t findMarker(const ByteReader &b, std::size_t from, std::size_t last)
{
    for (std::size_t q = from; q <= last; ++q)
        if (b.matchAt(q, kMarker))
            return std::ptrdiff_t(q);
    return -1;
}

class Scanner {
public:
    explicit Scanner(const RecordingSource &source) : m_source(source) {}

    ScanResult run()
    {
        std::uint64_t pos = kFirstRecordOffset;
        for (;;) {
            std::array<std::uint8_t, 8> h{};
            if (m_source.readAt(pos, h) < h.size())
                return finish(pos, true);
            ByteReader header(h);
            std::uint64_t next = 0;
            bool atFileEnd = false;
            if (h[0] == 0x21)
                next = audioFrame(pos, atFileEnd);
            else if (h[0] == 0x00 && (isPSlice(header, 0) || isIdrSlice(header, 0)))
                next = videoSample(pos, header);
            else if (isSensorStart(header, 0))
                next = sensorRecord(pos, atFileEnd);
            else
                return finish(pos, false); // a record the camera does not write
            if (next == 0)
                return finish(m_end, atFileEnd);
            pos = next;
        }
    }

private:
    // Each handler returns the position of the next record, or 0 when the scan ends there
    // (m_end then holds the end of the media data).

    std::uint64_t audioFrame(std::uint64_t p, bool &atFileEnd)
    {
        closeRun();
        std::array<std::uint8_t, kAudioLookahead> buf{};
        const std::size_t got = m_source.readAt(p + 8, buf);
        // Near the file end only what was read is searched: the frame's successor may still
        // be there in full.
        const ByteReader b(std::span<const std::uint8_t>(buf.data(), got));
        for (std::size_t i = 0; i <= kAudioSearchLast && i < got; ++i) {
            const std::uint64_t at = p + 8 + i;
            if (b.at(i) == 0 && (isPSlice(b, i) || isIdrSlice(b, i))) {
                const std::uint64_t end = at + 4 + b.u32beAt(i);
                if (end > kMaxRecordEnd)
                    break;
                m.audioChunks.push_back(std::uint32_t(p));
                m.audioSizes.push_back(std::uint32_t(i + 8));
                m.videoChunks.push_back(std::uint32_t(at));
                addVideoSample(b.u32beAt(i) + 4, isIdrSlice(b, i));
                m_inRun = 1;
                m_inChunk = true;
                return end;
            }
            if (isSensorStart(b, i)) {
                m.audioChunks.push_back(std::uint32_t(p));
                m.audioSizes.push_back(std::uint32_t(i + 8));
                m_inChunk = false;
                const std::ptrdiff_t q = findMarker(b, i, kAudioSearchLast);
                if (q < 0) {
                    // A record without its marker has no size; it is left out of the index.
                    if (got < buf.size())
                        return stopAtFileEnd(at, atFileEnd);
                    return p + 8 + kAudioLookahead;
                }
                m.sensorChunks.push_back(std::uint32_t(at));
                m.sensorSizes.push_back(std::uint32_t(std::size_t(q) - i + kMarkerToEnd));
                return p + 8 + std::uint64_t(q) + kMarkerToEnd;
            }
        }
        // An audio frame without a known successor has no size and is not indexed.
        if (got < buf.size())
            return stopAtFileEnd(p, atFileEnd);
        m_end = p + 8;
        return 0;
    }

    std::uint64_t videoSample(std::uint64_t p, const ByteReader &h)
    {
        const std::uint32_t length = h.u32beAt(0); // the high byte is the record's 0x00
        const std::uint64_t end = p + 4 + length;
        if (end > kMaxRecordEnd) {
            m_end = p;
            return 0;
        }
        if (!m_inChunk) {
            m.videoChunks.push_back(std::uint32_t(p));
            m_inChunk = true;
        }
        addVideoSample(length + 4, isIdrSlice(h, 0));
        ++m_inRun;
        return end;
    }

    std::uint64_t sensorRecord(std::uint64_t p, bool &atFileEnd)
    {
        closeRun();
        m_inChunk = false;
        std::array<std::uint8_t, kSensorLookahead> buf{};
        const std::size_t got = m_source.readAt(p, buf);
        const ByteReader b(std::span<const std::uint8_t>(buf.data(), got));
        const std::ptrdiff_t q = findMarker(b, 0, kSensorSearchLast);
        if (q < 0) {
            if (got < buf.size())
                return stopAtFileEnd(p, atFileEnd);
            return p + kSensorLookahead; // no size: not indexed
        }
        m.sensorChunks.push_back(std::uint32_t(p));
        m.sensorSizes.push_back(std::uint32_t(q) + kMarkerToEnd);
        return p + std::uint64_t(q) + kMarkerToEnd;
    }

    void addVideoSample(std::uint32_t size, bool idr)
    {
        m.videoSizes.push_back(size);
        if (idr)
            m.syncSamples.push_back(std::uint32_t(m.videoSizes.size()));
    }

    // Ends the current run of video samples: a new stsc entry only when the count changes.
    void closeRun()
    {
        if (m_inRun == 0)
            return;
        if (m.videoRuns.empty() || m.videoRuns.back().samplesPerChunk != m_inRun)
            m.videoRuns.push_back({std::uint32_t(m.videoChunks.size()), m_inRun, 1});
        m_inRun = 0;
    }

    std::uint64_t stopAtFileEnd(std::uint64_t end, bool &atFileEnd)
    {
        m_end = end;
        atFileEnd = true;
        return 0;
    }

    ScanResult finish(std::uint64_t end, bool atFileEnd)
    {
        closeRun();
        ScanResult r;
        r.tables = std::move(m);
        // The positions only move forward past every record collected, so end lies at or
        // after the end of each sample, also of one cut short by the file end.
        r.end = end;
        r.endedAtFileEnd = atFileEnd;
        return r;
    }

    const RecordingSource &m_source;
    MediaTables m;
    std::uint32_t m_inRun = 0; // video samples in the current chunk
    bool m_inChunk = false;
    std::uint64_t m_end = kFirstRecordOffset;
};

// Closes the descriptor on every path.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

class FileSource : public RecordingSource {
public:
    explicit FileSource(int fd) : m_fd(fd) {}
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override
    {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(m_fd, out.data() + done, out.size() - done, off_t(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
        return done;
    }

private:
    int m_fd;
};

bool writeAll(int fd, std::span<const std::uint8_t> data, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

std::uint32_t readU32(const RecordingSource &s, std::uint64_t offset, bool &ok)
{
    std::array<std::uint8_t, 4> b{};
    ok = s.readAt(offset, b) == b.size();
    return ByteReader(b).u32beAt(0);
}

} // namespace

std::size_t MemorySource::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    if (offset >= m_data.size())
        return 0;
    const std::size_t n = std::min<std::uint64_t>(out.size(), m_data.size() - offset);
    std::memcpy(out.data(), m_data.data() + offset, n);
    return n;
}

ScanResult scanMediaData(const RecordingSource &source)
{
    return Scanner(source).run();
}

bool hasIndex(const RecordingSource &source)
{
    bool ok = false;
    const std::uint32_t size = readU32(source, kMediaDataOffset, ok);
    if (!ok || size == 0)
        return false;
    return readU32(source, kMediaDataOffset + 4 + size, ok) == fourcc("moov") && ok;
}

const char *repairOutcomeText(RepairOutcome outcome)
{
    switch (outcome) {
    case RepairOutcome::Repaired: return "repaired";
    case RepairOutcome::Intact: return "intact";
    case RepairOutcome::CannotOpen: return "cannot open for reading and writing";
    case RepairOutcome::NotRecording: return "not a camera recording";
    case RepairOutcome::NothingToIndex: return "nothing to index";
    case RepairOutcome::WriteFailed: return "cannot write the index";
    }
    return "";
}

RepairOutcome repairRecordingOutcome(const std::filesystem::path &path, int side, int sizeClass)
{
    const FileHandle file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (file.fd() < 0) {
        // A read-only file that has its index needs nothing.
        const FileHandle readOnly(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (readOnly.fd() >= 0 && hasIndex(FileSource(readOnly.fd())))
            return RepairOutcome::Intact;
        return RepairOutcome::CannotOpen;
    }
    const FileSource source(file.fd());

    bool ok = false;
    readU32(source, kMediaDataOffset, ok);
    if (!ok)
        return RepairOutcome::NotRecording;
    if (hasIndex(source))
        return RepairOutcome::Intact;
    // Only the camera's layout is rebuilt; any other file is left as it is.
    if (readU32(source, kMediaDataOffset + 4, ok) != fourcc("mdat") || !ok)
        return RepairOutcome::NotRecording;

    const ScanResult scan = scanMediaData(source);
    if (scan.empty())
        return RepairOutcome::NothingToIndex;
    const std::uint64_t mediaSize = (scan.end - kMediaDataOffset + 3) / 4 * 4;
    if (mediaSize > 0xFFFFFFFFu)
        return RepairOutcome::NothingToIndex;

    const std::vector<std::uint8_t> index = buildIndex(scan.tables, side, sizeClass);
    // The index goes to disk before the size field that makes it reachable: a repair cut
    // short in between leaves a file without an index, which the next check rebuilds.
    if (!writeAll(file.fd(), index, kMediaDataOffset + mediaSize) || ::fdatasync(file.fd()) != 0)
        return RepairOutcome::WriteFailed;
    ByteWriter size;
    size.u32(std::uint32_t(mediaSize));
    if (!writeAll(file.fd(), size.data(), kMediaDataOffset) || ::fdatasync(file.fd()) != 0)
        return RepairOutcome::WriteFailed;
    return RepairOutcome::Repaired;
}

bool repairRecording(const std::filesystem::path &path, int side, int sizeClass)
{
    return repairRecordingOutcome(path, side, sizeClass) == RepairOutcome::Repaired;
}

} // namespace storage
