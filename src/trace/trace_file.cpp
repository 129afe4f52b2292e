#include "trace/trace_file.h"

#include <algorithm>

#include "update/firmware_signature.h"

namespace dalvorn {

std::filesystem::path PathFromUtf8Text(const std::string& utf8) {
  std::u8string text(utf8.size(), u8'\0');
  std::transform(utf8.begin(), utf8.end(), text.begin(),
                 [](char c) { return static_cast<char8_t>(c); });
  return std::filesystem::path(text);
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::vector<ProtectedFile> FirmwareFiles(const std::string& imagePath) {
  return {{PathFromUtf8Text(imagePath), "the firmware image"},
          {PathFromUtf8Text(SignaturePath(imagePath)), "the firmware image's signature"}};
}

// Checked against the protected files once open, by what the system says of the open file (so
// no rename between a check and the open can fool it), and emptied only then.
bool TraceFile::Open(const std::filesystem::path& path,
                     const std::vector<ProtectedFile>& protectedFiles, std::string& error) {
  Close();
  bool created = false;
  if (!file_.OpenToWrite(PathText(path), created, error)) return false;
  const auto refuse = [&](std::string reason) {
    file_.Close();
    std::error_code ignored;
    if (created) std::filesystem::remove(path, ignored);
    error = std::move(reason);
    return false;
  };
  for (const ProtectedFile& file : protectedFiles) {
    if (file_.IsSameFileAs(PathText(file.path))) {
      return refuse("it is " + file.what + " " + PathText(file.path));
    }
  }
  std::string reason;
  if (file_.Kind() == FileKind::Regular && !created && !file_.Truncate(reason)) {
    return refuse(reason);
  }
  return true;
}

// Collects the text of a line and hands it to the file at each flush.
class TraceFileStream::Buffer final : public std::streambuf {
 public:
  explicit Buffer(TraceFile& file) : file_(file) {}

  const std::string& Error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (!error_.empty()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) pending_.push_back(static_cast<char>(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    if (!error_.empty()) return 0;
    pending_.append(text, static_cast<std::size_t>(count));
    return count;
  }
  int sync() override {
    if (!error_.empty()) return -1;
    const bool written = file_.Write(pending_.data(), pending_.size(), error_);
    pending_.clear();
    if (written) return 0;
    if (error_.empty()) error_ = "the write failed";
    return -1;
  }

 private:
  TraceFile& file_;
  std::string pending_;
  std::string error_;
};

TraceFileStream::TraceFileStream(TraceFile& file)
    : std::ostream(nullptr), buffer_(std::make_unique<Buffer>(file)) {
  rdbuf(buffer_.get());
}

TraceFileStream::~TraceFileStream() {
  rdbuf(nullptr);
}

const std::string& TraceFileStream::Error() const {
  return buffer_->Error();
}

}  // namespace dalvorn
