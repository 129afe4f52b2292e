#include "trace/tracing_image_file.h"

namespace dalvorn {

bool TracingFirmwareImageFile::Load(const std::string& path, FirmwareImage& image,
                                    std::string& error) {
  const bool loaded = inner_.Load(path, image, error);
  TraceFields fields =
      loaded ? TraceFields{{"bytes", image.bytes.size()}} : TraceFields{{"error", error}};
  // "verified" only for an image taken with a verified signature. An image refused for its
  // signature says why in `error` alone: it was checked, and not verified.
  if (image.signature != ImageSignature::Refused) {
    fields["signature"] =
        loaded && image.signature == ImageSignature::Verified ? "verified" : "not checked";
  }
  trace_.Image("load", fields);
  return loaded;
}

}  // namespace dalvorn
