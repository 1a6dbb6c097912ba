// Reads the sensor records of an AVI recording: the chunks of its text stream ("txts").
#pragma once

#include <QByteArray>

#include <optional>
#include <string>
#include <vector>

class QIODevice;

namespace playback {

// The text stream's chunks in file order, each cut to 1024 bytes. Nothing (with error set)
// when the file is not an AVI, has no text stream, or a chunk size runs past its list.
std::optional<std::vector<QByteArray>> readAviTextRecords(QIODevice &file, std::string &error);

} // namespace playback
