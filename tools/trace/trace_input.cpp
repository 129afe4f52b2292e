#include "trace_input.h"

#include <algorithm>
#include <cstring>

#include "trace_check.h"

namespace dalvorn::emulator {

std::size_t MemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t n = std::min(size, text_.size() - at_);
  std::memcpy(buffer, text_.data() + at_, n);
  at_ += n;
  return n;
}

std::size_t StreamSource::Read(char* buffer, std::size_t size) {
  in_.read(buffer, static_cast<std::streamsize>(size));
  if (in_.bad()) throw TraceReadError("cannot be read");
  return static_cast<std::size_t>(in_.gcount());
}

void StreamSource::Rewind() {
  in_.clear();
  in_.seekg(0);
  if (!in_) throw TraceReadError("cannot be read again from its start");
}

std::size_t InputFile::Read(char* buffer, std::size_t size) {
  if (fromCopy_) {
    const std::size_t n = std::fread(buffer, 1, size, copy_);
    if (n == 0 && std::ferror(copy_) != 0)
      throw TraceReadError(path_ + ": its copy cannot be read");
    return n;
  }
  const std::size_t n = ReadSystem(buffer, size);
  if (copy_ != nullptr && n > 0 && std::fwrite(buffer, 1, n, copy_) != n) {
    throw TraceReadError(path_ + ": no room to keep a copy of the pipe for a second reading");
  }
  return n;
}

void InputFile::Rewind() {
  if (size_) {
    if (!SeekToStart()) throw TraceReadError(path_ + ": cannot be read again from its start");
    return;
  }
  if (copy_ == nullptr) throw TraceReadError(path_ + ": a pipe cannot be read twice");
  // The copy must hold the whole pipe: take what the first reading left.
  char rest[64 * 1024];
  if (!fromCopy_) {
    while (Read(rest, sizeof rest) > 0) {
    }
  }
  if (std::fflush(copy_) != 0) throw TraceReadError(path_ + ": its copy cannot be written");
  std::rewind(copy_);
  fromCopy_ = true;
}

bool LineReader::Next(std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    if (at_ == end_) {
      if (!ended_) {
        end_ = source_.Read(buffer_.data(), buffer_.size());
        at_ = 0;
        ended_ = end_ == 0;
      }
      if (ended_) {
        if (!any) return false;
        break;
      }
    }
    const char* start = buffer_.data() + at_;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - at_));
    const std::size_t take =
        newline != nullptr ? static_cast<std::size_t>(newline - start) : end_ - at_;
    if (line.size() + take > MaxTraceLineBytes) {
      throw TraceLineError("is longer than " + std::to_string(MaxTraceLineBytes) + " bytes");
    }
    line.append(start, take);
    at_ += take;
    any = true;
    if (newline != nullptr) {
      ++at_;
      break;
    }
  }
  ++number_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void TraceReader::Fail(const std::string& what) const {
  throw TraceReadError(name_ + ": line " + std::to_string(lines_.Number()) + ": " + what);
}

bool TraceReader::Next(TraceLine& line) {
  for (;;) {
    try {
      if (!lines_.Next(text_)) return false;
    } catch (const TraceLineError& e) {
      throw TraceReadError(name_ + ": line " + std::to_string(lines_.Number() + 1) + ": " +
                           e.what());
    }
    if (text_.empty()) continue;
    try {
      CheckTraceLineShape(text_);
      line = TraceLine::parse(text_);
      if (!line.is_object()) Fail("is not a JSON object");
      if (checkFields_) CheckTraceFields(line);
    } catch (const TraceLineError& e) {
      Fail(e.what());
    } catch (const nlohmann::json::exception& e) {
      Fail(std::string("is not JSON: ") + e.what());
    }
    ++count_;
    return true;
  }
}

std::string ReadWholeInput(const std::string& path, std::uint64_t maxBytes) {
  InputFile file(path);
  const std::string tooLarge = path + ": is larger than " + std::to_string(maxBytes) + " bytes";
  if (file.Size() && *file.Size() > maxBytes) throw TraceReadError(tooLarge);
  std::string text;
  char chunk[64 * 1024];
  while (const std::size_t n = file.Read(chunk, sizeof chunk)) {
    // A file that grows while it is read, or a pipe, is never taken past the limit.
    if (text.size() + n > maxBytes) throw TraceReadError(tooLarge);
    text.append(chunk, n);
  }
  return text;
}

}  // namespace dalvorn::emulator
