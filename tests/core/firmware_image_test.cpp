// The image's records, its end-of-file rule and the counting pass, on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "update/firmware_image.h"

namespace dalvorn {
namespace {

namespace fs = std::filesystem;

class FirmwareImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("dalvorn-image-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(std::size_t size) {
    const std::string path = FirmwareImagePath(dir_.string());
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7 + 3));
    return path;
  }

  fs::path dir_;
};

TEST_F(FirmwareImageTest, CountsEveryReadIncludingTheOneThatMeetsTheEnd) {
  struct Case {
    std::size_t size;
    std::int64_t count;
  };
  const Case cases[] = {{0, 1},  {39, 1},  {40, 2},          {79, 2},
                        {80, 3}, {130, 4}, {1310680, 32768}, {1310720, 32769}};
  for (const Case& c : cases) {
    const std::string path = Write(c.size);
    DiskFirmwareImageFile image;
    std::int64_t count = -1;
    std::string error;
    ASSERT_TRUE(CountImageRecords(image, path, count, error)) << c.size << ": " << error;
    EXPECT_EQ(count, c.count) << c.size;
  }
}

TEST_F(FirmwareImageTest, ReadsWholeRecordsInFileOrderAndFlagsTheShortTail) {
  const std::string path = Write(130);
  DiskFirmwareImageFile image;
  std::string error;
  ASSERT_TRUE(image.Open(path, error));
  EXPECT_FALSE(image.Eof());

  std::uint8_t record[FlashRecordSize];
  std::vector<std::size_t> counts;
  std::vector<bool> eofs;
  while (!image.Eof()) {
    counts.push_back(image.ReadRecord(record));
    eofs.push_back(image.Eof());
    if (!image.Eof()) {
      const std::size_t n = counts.size() - 1;
      EXPECT_EQ(record[0], static_cast<std::uint8_t>(n * 40 * 7 + 3));
      EXPECT_EQ(record[39], static_cast<std::uint8_t>((n * 40 + 39) * 7 + 3));
    }
  }
  image.Close();
  EXPECT_EQ(counts, (std::vector<std::size_t>{40, 40, 40, 10}));
  EXPECT_EQ(eofs, (std::vector<bool>{false, false, false, true}));
}

TEST_F(FirmwareImageTest, EndingOnARecordBoundaryNeedsOneMoreRead) {
  const std::string path = Write(80);
  DiskFirmwareImageFile image;
  std::string error;
  ASSERT_TRUE(image.Open(path, error));
  std::uint8_t record[FlashRecordSize];
  EXPECT_EQ(image.ReadRecord(record), 40u);
  EXPECT_EQ(image.ReadRecord(record), 40u);
  EXPECT_FALSE(image.Eof());
  EXPECT_EQ(image.ReadRecord(record), 0u);
  EXPECT_TRUE(image.Eof());
}

TEST_F(FirmwareImageTest, AMissingImageIsReportedAndNeverCreated) {
  const std::string path = FirmwareImagePath(dir_.string());
  DiskFirmwareImageFile image;
  std::int64_t count = 0;
  std::string error;
  EXPECT_FALSE(CountImageRecords(image, path, count, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(FirmwareImageTest, AFolderInPlaceOfTheImageCannotBeRead) {
  const std::string path = FirmwareImagePath(dir_.string());
  fs::create_directories(path);
  DiskFirmwareImageFile image;
  std::int64_t count = 0;
  std::string error;
  // Opening a folder may succeed on some systems; reading it must then end at once.
  if (CountImageRecords(image, path, count, error)) {
    EXPECT_EQ(count, 1);
  }
}

TEST(FirmwareImagePath, JoinsTheProgramFolderAndTheImageName) {
  const std::string path = FirmwareImagePath("folder");
  EXPECT_EQ(path.substr(0, 6), "folder");
  EXPECT_EQ(path.substr(7), "Varnholt.bin");
}

}  // namespace
}  // namespace dalvorn
