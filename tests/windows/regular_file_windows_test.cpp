// Reading the firmware image on Windows: regular files only, by UTF-8 path, never blocking on
// a pipe or a device.
#include <gtest/gtest.h>

#include <process.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "file/regular_file.h"
#include "scratch_folder.h"

#include <windows.h>

namespace dalvorn {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

void WriteWholeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Utf8(path);
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  EXPECT_EQ(written, bytes.size());
  ::CloseHandle(file);
}

class RegularFileWindowsTest : public ::testing::Test {
 protected:
  void TearDown() override { ClosePipe(); }

  // A named pipe with a live server that never writes: reading from it would wait forever.
  std::string ServedPipe() {
    const std::wstring name = L"\\\\.\\pipe\\dalvorn_regular_file_" + std::to_wstring(::_getpid());
    pipe_ = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                               4096, 4096, 0, nullptr);
    EXPECT_NE(pipe_, INVALID_HANDLE_VALUE);
    return Utf8(fs::path(name));
  }
  void ClosePipe() {
    if (pipe_ != INVALID_HANDLE_VALUE) ::CloseHandle(pipe_);
    pipe_ = INVALID_HANDLE_VALUE;
  }

  // ReadRegularFile, on a thread of its own: a call that blocks fails the test, and closing
  // the pipe's server end then releases it.
  bool Read(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
            std::string& error) {
    auto call = std::async(std::launch::async,
                           [&] { return ReadRegularFile(path, maxBytes, bytes, error); });
    if (call.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "the call blocked on " << path;
      ClosePipe();
    }
    return call.get();
  }

  const testing::ScratchFolder folder_;
  const fs::path root_ = folder_.Root();
  HANDLE pipe_ = INVALID_HANDLE_VALUE;
};

struct ReadCase {
  const wchar_t* folder;  // under the test's own folder
  std::size_t size;
  std::uint64_t maxBytes;
};

TEST_F(RegularFileWindowsTest, ReadsARegularFileWholeThroughItsUtf8Path) {
  const ReadCase cases[] = {
      {L"plain", 200000, 16u * 1024u * 1024u},  // more than one chunk
      {L"plain", 0, 100},
      {L"plain", 100, 100},                                      // exactly the limit
      {L"\u0422\u0435\u0441\u0442", 4000, 16u * 1024u * 1024u},  // Cyrillic
      {L"\u6D4B\u8BD5", 4000, 16u * 1024u * 1024u},              // CJK
  };
  for (const ReadCase& c : cases) {
    const fs::path file = root_ / c.folder / L"Varnholt.bin";
    SCOPED_TRACE(Utf8(file));
    const std::vector<std::uint8_t> contents = Pattern(c.size);
    WriteWholeFile(file, contents);
    std::vector<std::uint8_t> bytes = {1, 2, 3};
    std::string error;
    EXPECT_TRUE(Read(Utf8(file), c.maxBytes, bytes, error)) << error;
    EXPECT_EQ(bytes, contents);
  }
}

struct RefusedCase {
  const char* name;
  std::function<std::string()> path;
  std::uint64_t maxBytes;
  std::string reason;  // empty: the system's own text
};

TEST_F(RegularFileWindowsTest, RefusesWithItsReasonAndReadsNothing) {
  const fs::path cyrillic = root_ / L"\u0422\u0435\u0441\u0442" / L"Varnholt.bin";
  const fs::path cjk = root_ / L"\u6D4B\u8BD5" / L"Varnholt.bin";
  const RefusedCase cases[] = {
      {"directory",
       [&] {
         fs::create_directories(cyrillic);
         return Utf8(cyrillic);
       },
       1000, "it is a directory, not a file"},
      {"named pipe with a live server", [this] { return ServedPipe(); }, 1000,
       "it is not a regular file"},
      {"null device", [] { return R"(\\.\NUL)"; }, 1000, "it is not a regular file"},
      {"larger than the limit",
       [&] {
         WriteWholeFile(cjk, Pattern(101));
         return Utf8(cjk);
       },
       100, "it is larger than 100 bytes"},
      {"missing file", [this] { return Utf8(root_ / L"Varnholt.bin"); }, 1000, ""},
      {"not UTF-8", [] { return "Varnholt\xff.bin"; }, 1000, ""},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = c.path();
    std::vector<std::uint8_t> bytes = {1, 2, 3};
    std::string error;
    EXPECT_FALSE(Read(path, c.maxBytes, bytes, error));
    EXPECT_TRUE(bytes.empty());
    if (!c.reason.empty()) {
      EXPECT_EQ(error, c.reason);
    } else {
      // The system's text with its number, as the end of a sentence: no closing period, line
      // break or space.
      ASSERT_FALSE(error.empty());
      EXPECT_EQ(std::string(".\r\n ").find(error.back()), std::string::npos) << error;
      EXPECT_EQ(error.rfind("GetLastError ", 0), 0u) << error;
    }
    ClosePipe();
  }
}

}  // namespace
}  // namespace dalvorn
