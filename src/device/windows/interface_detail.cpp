#include "device/windows/interface_detail.h"

#include <cstring>
#include <limits>

#include "device/hid_platform.h"

namespace dalvorn {

std::int32_t InterfaceDetailRequiredSize(std::string_view path) {
  constexpr std::size_t limit = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  const std::size_t needed = InterfaceDetailPathOffset + path.size() + 1;
  return needed > limit ? std::numeric_limits<std::int32_t>::max()
                        : static_cast<std::int32_t>(needed);
}

std::int32_t FillInterfaceDetail(std::string_view path, std::uint8_t* buffer, std::int32_t size,
                                 std::int32_t* requiredSize) {
  if (requiredSize != nullptr) *requiredSize = InterfaceDetailRequiredSize(path);
  if (buffer == nullptr || size < 0) return 0;
  if (static_cast<std::size_t>(size) < InterfaceDetailPathOffset + path.size() + 1) return 0;
  std::int32_t sizeField = 0;
  std::memcpy(&sizeField, buffer, sizeof sizeField);
  if (sizeField != InterfaceDetailSizeField) return 0;
  std::memcpy(buffer + InterfaceDetailPathOffset, path.data(), path.size());
  buffer[InterfaceDetailPathOffset + path.size()] = 0;
  return 1;
}

}  // namespace dalvorn
