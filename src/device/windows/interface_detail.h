// The program's interface-detail record, as the Windows backend fills it from the system's.
//
// The program hands SetupDiGetDeviceInterfaceDetailA a buffer laid out as the 32-bit system
// record: a 4-byte size field holding 5, then the zero-terminated path. The 64-bit system
// record has another size field and other padding, so the backend queries the system with a
// record of its own and copies the path into the program's buffer here.
#pragma once

#include <cstdint>
#include <string_view>

namespace dalvorn {

// Bytes the program's record needs for `path`: the size field, the path, its terminator.
std::int32_t InterfaceDetailRequiredSize(std::string_view path);

// Fills the program's record in `buffer` (`size` bytes) with `path`, reporting the required
// size in `requiredSize` when it is given. Without a buffer, or when `size` is too small or
// the size field is not 5, it fails (0) and writes nothing; otherwise the path and its
// terminator go from byte 4 on and the size field is kept. Nothing outside [0, size) is ever
// written.
std::int32_t FillInterfaceDetail(std::string_view path, std::uint8_t* buffer, std::int32_t size,
                                 std::int32_t* requiredSize);

}  // namespace dalvorn
