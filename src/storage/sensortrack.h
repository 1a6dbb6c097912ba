// Reads the sensor records of a recording through its index (the "sdsm" track).
#pragma once

#include <QByteArray>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace storage {

// The records in track order; each cut to 1024 bytes. Nothing (with error set) when the file
// has no readable index or no sensor track.
std::optional<std::vector<QByteArray>> readSensorRecords(const std::filesystem::path &path, std::string &error);

} // namespace storage
