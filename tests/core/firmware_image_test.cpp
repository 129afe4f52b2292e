// The image is read once, whole, on real files: what is taken, and what is refused and why.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "scratch_folder.h"
#include "update/firmware_image.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace dalvorn {
namespace {

namespace fs = std::filesystem;

class FirmwareImageTest : public ::testing::Test {
 protected:
  void Write(std::size_t size) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7 + 3));
  }

  const testing::ScratchFolder dir_;
  const std::string path_ = FirmwareImagePath(dir_.Path());
};

TEST_F(FirmwareImageTest, TakesTheWholeFileAndCountsItsRecordsForTheBar) {
  struct Case {
    std::size_t size;
    std::size_t wholeRecords;
    std::int64_t recordCount;
  };
  const Case cases[] = {{40, 1, 2}, {79, 1, 2}, {130, 3, 4}, {1310720, 32768, 32769}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Write(c.size);
    DiskFirmwareImageFile file;
    FirmwareImage image;
    std::string error;
    ASSERT_TRUE(file.Load(path_, image, error)) << error;
    ASSERT_EQ(image.bytes.size(), c.size);
    EXPECT_EQ(image.WholeRecords(), c.wholeRecords);
    EXPECT_EQ(image.RecordCount(), c.recordCount);
    const std::size_t last = c.wholeRecords - 1;
    EXPECT_EQ(image.Record(last)[39], static_cast<std::uint8_t>((last * 40 + 39) * 7 + 3));
  }
}

TEST_F(FirmwareImageTest, TakesAnImageOfExactlyTheLargestSize) {
  { std::ofstream create(path_, std::ios::binary); }
  fs::resize_file(path_, MaxFirmwareImageBytes);
  DiskFirmwareImageFile file;
  FirmwareImage image;
  std::string error;
  ASSERT_TRUE(file.Load(path_, image, error)) << error;
  EXPECT_EQ(image.bytes.size(), MaxFirmwareImageBytes);
}

TEST_F(FirmwareImageTest, RefusesWhatIsNoUsableImageWithItsReason) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
    std::string reason;
  };
  const Case cases[] = {
#ifdef _WIN32
      {"missing", [](const std::string&) {}, ""},  // the system's own words, in its language
#else
      {"missing", [](const std::string&) {}, "No such file or directory"},
#endif
      {"directory", [](const std::string& p) { fs::create_directories(p); }, "directory"},
      {"empty", [](const std::string& p) { std::ofstream(p, std::ios::binary); },
       "it holds 0 bytes, less than one record of 40 bytes"},
      {"39 bytes",
       [](const std::string& p) { std::ofstream(p, std::ios::binary) << std::string(39, 'x'); },
       "it holds 39 bytes, less than one record of 40 bytes"},
      {"one byte past the largest",
       [](const std::string& p) {
         { std::ofstream create(p, std::ios::binary); }
         fs::resize_file(p, MaxFirmwareImageBytes + 1);
       },
       "it is larger than 16,777,216 bytes"},
#ifndef _WIN32
      {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       "it is not a regular file"},
      {"device node", [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
       "it is not a regular file"},
      {"read fails", [](const std::string& p) { fs::create_symlink("/proc/self/mem", p); },
       "Input/output error"},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(path_);
    c.make(path_);
    DiskFirmwareImageFile file;
    FirmwareImage image;
    std::string error;
    EXPECT_FALSE(file.Load(path_, image, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_TRUE(image.bytes.empty());
  }
  fs::remove_all(path_);
  DiskFirmwareImageFile file;
  FirmwareImage image;
  std::string error;
  file.Load(path_, image, error);
  EXPECT_FALSE(fs::exists(path_)) << "a missing image must never be created";
}

TEST(FirmwareImagePath, JoinsTheProgramFolderAndTheImageName) {
  const std::string path = FirmwareImagePath("folder");
  EXPECT_EQ(path.substr(0, 6), "folder");
  EXPECT_EQ(path.substr(7), "Varnholt.bin");
}

}  // namespace
}  // namespace dalvorn
