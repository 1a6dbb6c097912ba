// Result codes of the engine's control operations: the media pipeline's HRESULT values, kept
// so that callers compare against the same numbers (negative is failure).
#pragma once

#include <cstdint>

namespace playback {

using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);
constexpr HRESULT E_POINTER = HRESULT(0x80004003u);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
// A control call made in a state that does not allow it; nothing was changed.
constexpr HRESULT VFW_E_WRONG_STATE = HRESULT(0x80040227u);
// The stream parser cannot play the file's container or tracks.
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = HRESULT(0x8004022Fu);
// The stream parser has no further sensor record.
constexpr HRESULT VFW_E_NOT_FOUND = HRESULT(0x80040216u);

constexpr bool succeeded(HRESULT hr) { return hr >= 0; }

} // namespace playback
