#include "krfsreader.h"

#include "krfs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace playback {

namespace {

constexpr char kScheme[] = "krfs://";
constexpr char kKey[] = "?key=";
constexpr int kSkipChunk = 1 << 20; // bytes per read while skipping forward

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

bool isKrfsUri(const std::string &path)
{
    return path.rfind(kScheme, 0) == 0;
}

std::optional<KrfsLocation> KrfsLocation::parse(const std::string &uri)
{
    if (!isKrfsUri(uri))
        return std::nullopt;
    const std::string rest = uri.substr(sizeof kScheme - 1);
    const size_t keyAt = rest.rfind(kKey);
    if (keyAt == std::string::npos || keyAt == 0)
        return std::nullopt;
    const size_t hash = rest.find('#', keyAt);
    if (hash == std::string::npos)
        return std::nullopt;
    const std::string digits = rest.substr(keyAt + sizeof kKey - 1, hash - keyAt - (sizeof kKey - 1));
    if (digits.empty() || digits.size() > 10 || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return std::nullopt;
    const uint64_t key = std::stoull(digits);
    if (key < 1 || key > 0xFFFFFFFFu)
        return std::nullopt;
    KrfsLocation l;
    l.device = rest.substr(0, keyAt);
    l.path = rest.substr(hash + 1);
    l.key = uint32_t(key);
    // "/FOLDER/NAME": both parts present, no deeper folders.
    const size_t slash = l.path.find('/', 1);
    if (l.path.size() < 4 || l.path[0] != '/' || slash == std::string::npos || slash == 1 ||
        slash + 1 == l.path.size() || l.path.find('/', slash + 1) != std::string::npos ||
        l.path.size() >= QZ_KRFS_PATH_MAX)
        return std::nullopt;
    return l;
}

std::string KrfsLocation::uri() const
{
    return kScheme + device + kKey + std::to_string(key) + "#" + path;
}

KrfsReader::KrfsReader() = default;

KrfsReader::~KrfsReader()
{
    close();
}

void KrfsReader::close()
{
    if (!m_block)
        return;
    if (m_handle > 0)
        QZ_KrFS_File_Close(m_block.get(), m_handle);
    m_handle = 0;
    QZ_KrFS_Device_Close(m_block.get());
    m_block.reset();
    m_size = 0;
    m_position = 0;
}

bool KrfsReader::open(const KrfsLocation &where)
{
    close();
    m_where = where;
    m_skipped = 0;
    m_why.clear();
    auto fail = [&](const char *why) {
        m_why = why;
        close();
        return false;
    };
    auto block = std::make_unique<unsigned char[]>(QZ_KRFS_DEVICE_BLOCK_SIZE);
    std::memset(block.get(), 0, QZ_KRFS_DEVICE_BLOCK_SIZE);
    if (QZ_KrFS_Device_Open(where.device.c_str(), QZ_KRFS_OPEN_MODE, block.get()) != 0) {
        m_why = "no partition on " + where.device;
        return false;
    }
    m_block = std::move(block);

    // The size comes from the folder's listing: the entry with this key and name.
    const size_t slash = where.path.find('/', 1);
    if (slash == std::string::npos)
        return fail("not a /FOLDER/NAME path");
    const std::string folder = where.path.substr(1, slash - 1);
    const std::string name = where.path.substr(slash + 1);
    std::vector<unsigned char> list(QZ_KRFS_LIST_BUFFER_SIZE);
    int position = 1;
    bool found = false;
    while (!found) {
        std::fill(list.begin(), list.end(), 0);
        list[0] = QZ_KRFS_LIST_CAPACITY;
        const int before = position;
        const int n = QZ_KrFS_Get_FileList(m_block.get(), folder.c_str(), &position, list.data(), 0);
        if (n < 0)
            return fail("the folder cannot be listed");
        if (n == 0 || position <= before)
            break;
        for (int i = 0; i < std::min(n, int(QZ_KRFS_LIST_CAPACITY)); ++i) {
            const unsigned char *r = list.data() + 4 + size_t(i) * QZ_KRFS_LIST_RECORD_SIZE;
            const char *entryName = reinterpret_cast<const char *>(r);
            if (le32(r + 98) == where.key &&
                std::string(entryName, strnlen(entryName, QZ_KRFS_LIST_NAME_SIZE)) == name) {
                m_size = le32(r + 102);
                found = true;
                break;
            }
        }
    }
    if (!found)
        return fail("no file with this key and name on the partition");
    if (!reopen())
        return fail("the file cannot be opened");
    return true;
}

bool KrfsReader::reopen()
{
    if (m_handle > 0)
        QZ_KrFS_File_Close(m_block.get(), m_handle);
    m_handle = QZ_KrFS_File_Open(m_block.get(), m_where.path.c_str(), "r", 0, 0, m_where.key);
    m_position = 0;
    if (m_handle < 1) {
        m_handle = 0;
        return false;
    }
    return true;
}

int64_t KrfsReader::readSome(void *buffer, uint64_t length)
{
    const int want = int(std::min<uint64_t>(length, QZ_KRFS_READ_BLOCK));
    const int n = QZ_KrFS_File_Read(m_block.get(), buffer, want, m_handle);
    if (n < 0 || n > want)
        return -1;
    m_position += uint64_t(n);
    return n;
}

bool KrfsReader::skipTo(uint64_t offset)
{
    if (offset < m_position && !reopen())
        return false;
    std::vector<unsigned char> scratch;
    while (m_position < offset) {
        const uint64_t gap = offset - m_position;
        scratch.resize(size_t(std::min<uint64_t>(gap, kSkipChunk)));
        const int64_t n = readSome(scratch.data(), scratch.size());
        if (n <= 0)
            return false; // a read error, or the file ended before its listed size
        m_skipped += uint64_t(n);
    }
    return true;
}

int64_t KrfsReader::readAt(uint64_t offset, void *buffer, uint64_t length)
{
    if (!isOpen())
        return -1;
    if (offset >= m_size || length == 0)
        return 0;
    length = std::min(length, m_size - offset);
    if (offset != m_position && !skipTo(offset))
        return -1;
    auto *out = static_cast<unsigned char *>(buffer);
    uint64_t done = 0;
    while (done < length) {
        const int64_t n = readSome(out + done, length - done);
        // The listing promised these bytes: ending early means a damaged or cut disk.
        if (n <= 0)
            return -1;
        done += uint64_t(n);
    }
    return int64_t(done);
}

} // namespace playback
