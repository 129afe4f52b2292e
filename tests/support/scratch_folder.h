// Files for the tests: a folder of a test's own, whole files read back, traces read as lines.
#pragma once

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace dalvorn::testing {

// This process's id: test programs run side by side, and their temporary files carry it.
inline std::string ProcessId() {
#ifdef _WIN32
  return std::to_string(::_getpid());
#else
  return std::to_string(::getpid());
#endif
}

// A fresh folder under the temporary folder, removed with all it holds at the end. Test
// programs run side by side: the process id and a count keep their folders apart.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name = "") {
    static int count = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("dalvorn-" + ProcessId() + "-" + std::to_string(++count) + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& Root() const { return path_; }
  std::string Path() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Writes `bytes` to the file `name` in the folder; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
    return File(name);
  }

 private:
  std::filesystem::path path_;
};

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The lines of the trace file at `path`, blank ones passed over.
inline std::vector<nlohmann::json> ReadTraceFile(const std::filesystem::path& path) {
  std::vector<nlohmann::json> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(nlohmann::json::parse(line));
  }
  return lines;
}

}  // namespace dalvorn::testing
