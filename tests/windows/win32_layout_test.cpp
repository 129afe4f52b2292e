// Twips to pixels for the native window.
#include <gtest/gtest.h>

#include "ui/win32/win32_layout.h"

namespace dalvorn::win32 {
namespace {

struct RectCase {
  TwipsRect twips;
  int dpi;
  PixelRect pixels;
};

void PrintTo(const RectCase& c, std::ostream* os) {
  *os << c.twips.left << "," << c.twips.top << " " << c.twips.width << "x" << c.twips.height
      << " twips at " << c.dpi << " dpi";
}

class ToPixelsTest : public ::testing::TestWithParam<RectCase> {};

TEST_P(ToPixelsTest, RoundsEdgesToTheNearestPixel) {
  const RectCase& c = GetParam();
  EXPECT_EQ(ToPixels(c.twips, c.dpi), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Dpis, ToPixelsTest,
    ::testing::Values(
        // The client area: 5420 x 3750 twips is 361.3 x 250 pixels at 96 dpi (312.5, rounded
        // up, at 120 dpi).
        RectCase{{0, 0, 5420, 3750}, 96, {0, 0, 361, 250}},
        RectCase{{0, 0, 5420, 3750}, 120, {0, 0, 452, 313}},
        RectCase{{0, 0, 5420, 3750}, 144, {0, 0, 542, 375}},
        RectCase{{0, 0, 5420, 3750}, 192, {0, 0, 723, 500}},
        // The bar at 96 dpi, full and half width; a width that is not a whole number of twips.
        RectCase{{180, 1920, 5055, 75}, 96, {12, 128, 337, 5}},
        RectCase{{180, 1920, 2527.5f, 75}, 96, {12, 128, 169, 5}},
        RectCase{{180, 1920, 0.4f, 75}, 96, {12, 128, 0, 5}},
        // Neighbours in twips stay neighbours: 120 + 1215 meets 1335 at 125% as well.
        RectCase{{120, 240, 1215, 285}, 120, {10, 20, 101, 24}},
        RectCase{{1335, 240, 100, 285}, 120, {111, 20, 9, 24}},
        // Nothing negative reaches the system.
        RectCase{{180, 1920, -30, 75}, 96, {12, 128, 0, 5}}));

TEST(DesignLayoutTest, EveryControlLiesOnWholePixelsAt96Dpi) {
  for (const ControlLayout& row : MainWindowLayout) {
    SCOPED_TRACE(row.name);
    const PixelRect r = ToPixels(DesignRect(row.control), DefaultDpi);
    EXPECT_EQ(r.left * TwipsPerPixel, row.left);
    EXPECT_EQ(r.top * TwipsPerPixel, row.top);
    EXPECT_EQ(r.width * TwipsPerPixel, row.width);
    EXPECT_EQ(r.height * TwipsPerPixel, row.height);
  }
}

TEST(DesignLayoutTest, BarLiesInsideItsTroughWithItsMargin) {
  for (int dpi : {96, 120, 144, 168, 192}) {
    SCOPED_TRACE(dpi);
    const PixelRect trough = ToPixels(DesignRect(Control::ProgressTrack), dpi);
    const PixelRect bar = ToPixels(DesignRect(Control::ProgressFill), dpi);
    EXPECT_GT(bar.left, trough.left);
    EXPECT_GT(bar.top, trough.top);
    EXPECT_LT(bar.left + bar.width, trough.left + trough.width);
    EXPECT_LT(bar.top + bar.height, trough.top + trough.height);
  }
}

TEST(DesignLayoutTest, TheWindowItselfIsTheClientArea) {
  const TwipsRect window = DesignRect(Control::frmMain);
  EXPECT_EQ(window.width, ClientWidthTwips);
  EXPECT_EQ(window.height, ClientHeightTwips);
}

TEST(FontHeightTest, NinePointsAtCommonDpis) {
  const std::pair<int, int> cases[] = {{96, -12}, {120, -15}, {144, -18}, {192, -24}, {72, -9}};
  for (const auto& [dpi, height] : cases) {
    EXPECT_EQ(FontHeight(FontPoints, dpi), height) << dpi << " dpi";
  }
}

}  // namespace
}  // namespace dalvorn::win32
