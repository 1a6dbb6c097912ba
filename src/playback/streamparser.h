// The source of one channel file: decides whether the pipeline can play it, and hands out
// its sensor records one per call.
#pragma once

#include "hresult.h"

#include <QByteArray>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace playback {

enum class Container { None, Mp4, Avi };
enum class AudioKind { None, Aac, Pcm, Other };

// What Load found out about a file that loaded.
struct StreamInfo {
    Container container = Container::None;
    int width = 0, height = 0;        // of the video track, pixels
    AudioKind audio = AudioKind::None; // of the first audio track
    std::int64_t durationNs = -1;      // -1 when the file does not say
};

// Buffer size of one sensor record read (bytes): records are cut to this length.
constexpr int kSensorRecordBufferSize = 1024;

class StreamParser {
public:
    // UI thread. S_OK when the container is MP4 or AVI and a pipeline of the engine's own
    // elements prerolls its H.264 video; VFW_E_INVALID_FILE_FORMAT otherwise (garbage,
    // truncated index, no video, undecodable). A file that does not load never enters the
    // playback pipeline, so it cannot fail it.
    HRESULT Load(const std::string &path);

    bool loaded() const { return m_loaded; }
    const std::string &path() const { return m_path; }
    const StreamInfo &info() const { return m_info; }
    // Why the last Load failed, for diagnostics.
    const std::string &error() const { return m_error; }

    // The option the engine hands every first parser of a new recording. It changes nothing
    // here; it is kept so the caller's setting is visible.
    void SetParseOption(bool option);
    bool parseOption() const { return m_parseOption; }

    // Any thread (the sensor worker). Copies the next sensor record into buffer (at most
    // *byteCount bytes, 1024 in practice), sets *byteCount to the bytes copied and *recordIndex
    // to the record's number from 0. S_OK when a record was copied; VFW_E_NOT_FOUND after the
    // last one or when the file has no sensor records; E_POINTER for null arguments;
    // E_INVALIDARG when the buffer is too small for the record (the record is not consumed).
    HRESULT ReadSensorRecord(char *buffer, int *byteCount, int *recordIndex);

private:
    std::string m_path;
    StreamInfo m_info;
    std::string m_error;
    bool m_loaded = false;
    bool m_parseOption = true;

    std::mutex m_recordLock;
    std::optional<std::vector<QByteArray>> m_records; // guarded by m_recordLock; read on first use
    std::size_t m_nextRecord = 0;                     // guarded by m_recordLock
};

// The container a file's first bytes show: MP4 (a box at 0 or the camera's media data at 40),
// AVI (RIFF "AVI "), or none.
Container sniffContainer(const QByteArray &head);

} // namespace playback
