// What a recording's file name and size tell: type, side, channel count, repair size class.
#pragma once

#include <cstdint>
#include <string_view>

namespace storage {

// 1 normal, 2 event, 3 parking, 4 user ("_N_", "_E_", "_P_", "_U_" in this order); 0 none.
int recordingType(std::string_view name);
// 1 front ("_F"), 2 rear ("_R"); 0 none.
int recordingSide(std::string_view name);
// 3, 2, 1 for "3CH", "2CH", "1CH" in this order; 0 none.
int recordingChannels(std::string_view name);
// Size class for the repair from the type (1 normal, others) and the file size in KiB.
int repairSizeClass(int type, std::int64_t sizeKiB);

} // namespace storage
