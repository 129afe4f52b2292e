// The resources of dalvorn-firmware-update.exe: version information, icon and manifest.
// The expected texts are the project's defaults (cmake/DalvornProduct.cmake).
#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

#include <windows.h>

namespace {

// The program, next to this test in the build tree.
std::string ProgramPath() {
  char module[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string path(module);
  path.erase(path.find_last_of("\\/") + 1);
  return path + DALVORN_PROGRAM_FROM_TESTS;
}

class ProgramResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version information in " << path;
    version_.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, version_.data()));
    module_ = ::LoadLibraryExA(path.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }

  std::string Value(const char* name) {
    const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    char* text = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(version_.data(), key.c_str(), reinterpret_cast<void**>(&text), &length)) {
      return "<missing>";
    }
    return text;
  }

  // The bytes of one resource.
  std::string Resource(LPCSTR type, LPCSTR name) {
    HRSRC found = ::FindResourceA(module_, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(module_, found);
    const auto* bytes = static_cast<const char*>(::LockResource(loaded));
    return std::string(bytes, ::SizeofResource(module_, found));
  }

  std::vector<char> version_;
  HMODULE module_ = nullptr;
};

TEST_F(ProgramResourcesTest, VersionInformationNamesTheProgram) {
  const struct {
    const char* name;
    const char* value;
  } cases[] = {{"FileDescription", "Dalvorn firmware update"},
               {"ProductName", "Dalvorn firmware update"},
               {"Comments", "Dalvorn firmware update"},
               {"CompanyName", "Dalvorn"},
               {"LegalCopyright", "Copyright (c) 2026 Dalvorn"},
               {"FileVersion", "1.01.0001"},
               {"ProductVersion", "1.01.0001"}};
  for (const auto& c : cases) EXPECT_EQ(Value(c.name), c.value) << c.name;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(version_.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);  // 1.1
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);  // .0.1
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010001u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

// Two 16-colour images for classic displays, two true-colour ones for scaled screens.
TEST_F(ProgramResourcesTest, IconHasSixteenColourAndTrueColourImages) {
  const std::string group = Resource(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, MAKEINTRESOURCEA(1));
  const struct {
    int size;  // 256 is written 0 in the directory
    BYTE colours;
    WORD bitCount;
  } expected[] = {{32, 16, 4}, {16, 16, 4}, {48, 0, 32}, {256, 0, 32}};
  const std::size_t count = std::size(expected);
  ASSERT_GE(group.size(), 6u);
  const auto* header = reinterpret_cast<const WORD*>(group.data());
  EXPECT_EQ(header[1], 1);  // icons
  ASSERT_EQ(header[2], count);
  ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
  const auto* entries = reinterpret_cast<const GroupIconEntry*>(group.data() + 6);
  for (std::size_t i = 0; i < count; ++i) {
    const auto& e = expected[i];
    EXPECT_EQ(entries[i].width, e.size % 256) << e.size;
    EXPECT_EQ(entries[i].height, e.size % 256) << e.size;
    EXPECT_EQ(entries[i].colours, e.colours) << e.size;
    EXPECT_EQ(entries[i].bitCount, e.bitCount) << e.size;
    HICON icon = static_cast<HICON>(
        ::LoadImageA(module_, MAKEINTRESOURCEA(1), IMAGE_ICON, e.size, e.size, 0));
    EXPECT_NE(icon, nullptr) << e.size;
    if (icon != nullptr) ::DestroyIcon(icon);
  }
}

TEST_F(ProgramResourcesTest, ManifestAsksForPerMonitorDpi) {
  const std::string manifest =
      Resource(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, MAKEINTRESOURCEA(1));
  EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
  EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"1.1.0.1\""), std::string::npos);
}

// The manifest asks for common controls 6, so the window's controls take the system's style.
// This test program carries the same manifest: its activation context must redirect
// comctl32.dll to the side-by-side assembly (a manifest the loader cannot resolve would keep
// the program from starting on Windows).
TEST_F(ProgramResourcesTest, ManifestSelectsCommonControlsSix) {
  const std::string manifest =
      Resource(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, MAKEINTRESOURCEA(1));
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);

  ACTCTX_SECTION_KEYED_DATA data = {};
  data.cbSize = sizeof(data);
  EXPECT_TRUE(::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                         L"comctl32.dll", &data));
}

}  // namespace
