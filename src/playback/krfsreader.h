// One recording inside the card's partition: where it is (a krfs:// location) and a
// position-aware reader over the partition library, which itself only reads forward.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace playback {

// A partition file named by "krfs://IMAGE_OR_DEVICE?key=N#/FOLDER/NAME". The image or
// device path runs up to the last "?key=" (so it may itself hold '?' or '#'); N is the
// listing's key in decimal; the partition path starts with '/' and has one more '/'.
struct KrfsLocation {
    std::string device;  // disk image file or whole-disk device node
    std::string path;    // "/FOLDER/NAME", narrow bytes as the partition stores them
    uint32_t key = 0;    // the directory listing's key, 1 and more

    static std::optional<KrfsLocation> parse(const std::string &uri);
    std::string uri() const;
};

bool isKrfsUri(const std::string &path);

// Reads one partition file at any offset. Owns its own device block, so two readers never
// share library state; one thread at a time may use a reader.
//
// The library has no seek: a forward jump reads and drops the bytes in between, a backward
// jump reopens the file and skips from its start. A backward seek therefore costs reading
// up to `offset` bytes of the disk again; the demuxers jump back mostly once (after the
// index at the end of an AVI), then read forward.
class KrfsReader {
public:
    KrfsReader();
    ~KrfsReader();
    KrfsReader(const KrfsReader &) = delete;
    KrfsReader &operator=(const KrfsReader &) = delete;

    // Opens the device and the file and takes the file's size from its directory entry.
    // False, with why(), on any failure; the reader is then closed.
    bool open(const KrfsLocation &where);
    void close();
    bool isOpen() const { return m_handle > 0; }

    uint64_t size() const { return m_size; }
    // Up to `length` bytes from `offset` into buffer: the count read (short only at the end
    // of the file, 0 at or past it), or -1 when the partition cannot be read or the data
    // ends before the size its directory entry lists.
    int64_t readAt(uint64_t offset, void *buffer, uint64_t length);
    // Bytes the library has read and dropped to reach requested offsets (for the cost note).
    uint64_t skippedBytes() const { return m_skipped; }
    const std::string &why() const { return m_why; }

private:
    bool reopen();
    bool skipTo(uint64_t offset);
    int64_t readSome(void *buffer, uint64_t length);

    KrfsLocation m_where;
    std::unique_ptr<unsigned char[]> m_block; // the library's device block, null when closed
    int m_handle = 0;
    uint64_t m_size = 0;
    uint64_t m_position = 0; // the library's read position in the open file
    uint64_t m_skipped = 0;
    std::string m_why;
};

} // namespace playback
