#include "trace/tracing_image_file.h"

namespace dalvorn {

bool TracingFirmwareImageFile::Load(const std::string& path, FirmwareImage& image,
                                    std::string& error) {
  const bool loaded = inner_.Load(path, image, error);
  trace_.Image("load",
               loaded ? TraceFields{{"bytes", image.bytes.size()}} : TraceFields{{"error", error}});
  return loaded;
}

}  // namespace dalvorn
