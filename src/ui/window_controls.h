// The main window's controls, their names and their design-time layout in twips.
#pragma once

#include <array>
#include <string_view>

#include "dalvorn/product_version.h"  // ApplicationName, ApplicationVersion

namespace dalvorn {

// The window and its controls. The program's names of the controls (in the layout table
// below, and in traces) are the form's own; these identifiers say what each control is.
enum class Control {
  frmMain,
  DeviceFrame,          // the frame around the device's four rows
  ManufacturerCaption,  // the caption labels in front of the value labels
  lblManuf,
  ProductCaption,
  lblProduct,
  VersionCaption,
  lblVersion,
  SerialNumberCaption,
  lblSerialNumber,
  ProgressTrack,  // the progress bar's sunken trough
  ProgressFill,   // the progress bar itself, its width the progress
  btnUpgradeFW,
  UnusedLoadButton,  // "2. Load Firmware": laid out, never shown nor reachable
  lblStatus,         // under the progress bar: what a click on the button will do, and why not
};

// Controls, the window included, for tables indexed by Control.
inline constexpr int ControlCount = static_cast<int>(Control::lblStatus) + 1;

struct ControlLayout {
  Control control;
  std::string_view name;
  Control container;             // frmMain for the window itself
  int left, top, width, height;  // twips, relative to the container's client area
  std::string_view caption;
  int tabIndex;  // -1 for the window
};

inline constexpr int TwipsPerPixel = 15;  // at 96 dots per inch
inline constexpr int ClientWidthTwips = 5420;
// The status line's two lines made the window taller than its first design (3010 twips).
inline constexpr int ClientHeightTwips = 3390;
inline constexpr std::string_view WindowCaption = "Firmware Update";

// The progress bar's colour (red, green, blue).
inline constexpr int ProgressFillRed = 128, ProgressFillGreen = 128, ProgressFillBlue = 255;

inline constexpr std::array<ControlLayout, 14> MainWindowLayout = {{
    {Control::DeviceFrame, "Frame1", Control::frmMain, 120, 0, 5175, 1695, "", 0},
    {Control::ManufacturerCaption, "Label4", Control::DeviceFrame, 120, 240, 1215, 285,
     "Manufacturer", 2},
    {Control::lblManuf, "lblManuf", Control::DeviceFrame, 1560, 240, 3540, 330, "", 5},
    {Control::ProductCaption, "Label5", Control::DeviceFrame, 120, 600, 1215, 285, "Product", 3},
    {Control::lblProduct, "lblProduct", Control::DeviceFrame, 1560, 600, 3540, 330, "", 6},
    {Control::VersionCaption, "Label2", Control::DeviceFrame, 120, 960, 1455, 285, "Version", 4},
    {Control::lblVersion, "lblVersion", Control::DeviceFrame, 1560, 960, 3540, 330, "", 7},
    {Control::SerialNumberCaption, "Label3", Control::DeviceFrame, 120, 1320, 1455, 285,
     "Serial Number", 1},
    {Control::lblSerialNumber, "lblSerialNumber", Control::DeviceFrame, 1560, 1320, 3480, 330, "",
     8},
    {Control::ProgressTrack, "Picture1", Control::frmMain, 120, 1860, 5175, 195, "", 12},
    {Control::ProgressFill, "Pic", Control::frmMain, 180, 1920, 5055, 75, "", 11},
    // Two lines of the window's font at any DPI, as wide as the window allows: the outline
    // faces of scaled screens are wider than the bitmap face at 96 dpi.
    {Control::lblStatus, "lblStatus", Control::frmMain, 60, 2130, 5295, 450, "", 13},
    {Control::btnUpgradeFW, "btnUpgradeFW", Control::frmMain, 900, 2655, 3615, 495,
     "Upgrade Firmware", 9},
    {Control::UnusedLoadButton, "Command2", Control::frmMain, 120, 2940, 5175, 495,
     "2. Load Firmware", 10},
}};

// The control's name as the program knows it ("lblManuf", "btnUpgradeFW", ...).
std::string_view ControlName(Control control);

// Its row of the layout table; the window itself has none (nullptr).
const ControlLayout* FindLayout(Control control);

// The four value labels, top to bottom.
inline constexpr std::array<Control, 4> ValueLabels = {
    Control::lblManuf, Control::lblProduct, Control::lblVersion, Control::lblSerialNumber};

inline bool IsValueLabel(Control c) {
  return c == Control::lblManuf || c == Control::lblProduct || c == Control::lblVersion ||
         c == Control::lblSerialNumber;
}

}  // namespace dalvorn
