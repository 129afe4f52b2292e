// The main window's controls, their names and their design-time layout in twips.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "dalvorn/product_version.h"  // ApplicationName, ApplicationVersion
#include "text/translation.h"

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
  std::string_view caption;      // in English, marked for the catalogue (ShownCaption)
  int tabIndex;                  // -1 for the window
};

inline constexpr int TwipsPerPixel = 15;  // at 96 dots per inch
inline constexpr int ClientWidthTwips = 5420;
// The status line's three lines made the window taller than its first design (3010 twips).
inline constexpr int ClientHeightTwips = 3750;
// TRANSLATORS: the window's title: what the window does.
inline constexpr std::string_view WindowCaption = TrMark("Firmware Update");

// The progress bar's colour (red, green, blue).
inline constexpr int ProgressFillRed = 128, ProgressFillGreen = 128, ProgressFillBlue = 255;

// The caption labels are wide enough for their captions in every language (the fit tests measure
// them), the same for every language; the value labels take the rest of the frame.
inline constexpr std::array<ControlLayout, 14> MainWindowLayout = {{
    {Control::DeviceFrame, "Frame1", Control::frmMain, 120, 0, 5175, 1695, "", 0},
    {Control::ManufacturerCaption, "Label4", Control::DeviceFrame, 120, 240, 1800, 285,
     // TRANSLATORS: the captions in front of the device's strings, as its maker wrote them.
     TrMark("Manufacturer"), 2},
    {Control::lblManuf, "lblManuf", Control::DeviceFrame, 1980, 240, 3120, 330, "", 5},
    {Control::ProductCaption, "Label5", Control::DeviceFrame, 120, 600, 1800, 285,
     TrMark("Product"), 3},
    {Control::lblProduct, "lblProduct", Control::DeviceFrame, 1980, 600, 3120, 330, "", 6},
    {Control::VersionCaption, "Label2", Control::DeviceFrame, 120, 960, 1800, 285,
     // TRANSLATORS: the version of the firmware the device runs.
     TrMark("Version"), 4},
    {Control::lblVersion, "lblVersion", Control::DeviceFrame, 1980, 960, 3120, 330, "", 7},
    {Control::SerialNumberCaption, "Label3", Control::DeviceFrame, 120, 1320, 1800, 285,
     TrMark("Serial Number"), 1},
    {Control::lblSerialNumber, "lblSerialNumber", Control::DeviceFrame, 1980, 1320, 3060, 330, "",
     8},
    {Control::ProgressTrack, "Picture1", Control::frmMain, 120, 1860, 5175, 195, "", 12},
    {Control::ProgressFill, "Pic", Control::frmMain, 180, 1920, 5055, 75, "", 11},
    // As wide as the window allows, and three lines high: the longest texts of the languages
    // wider than English take three lines of the window's font, those of Japanese and Chinese
    // three of the taller CJK faces (the fit tests measure them); the outline faces of scaled
    // screens are wider than the bitmap face at 96 dpi.
    {Control::lblStatus, "lblStatus", Control::frmMain, 60, 2130, 5295, 810, "", 13},
    {Control::btnUpgradeFW, "btnUpgradeFW", Control::frmMain, 900, 3015, 3615, 495,
     // TRANSLATORS: the button that starts the update; while it runs, it says what it does
     // ("Switching to bootloader...").
     TrMark("Upgrade Firmware"), 9},
    {Control::UnusedLoadButton, "Command2", Control::frmMain, 120, 2940, 5175, 495,
     "2. Load Firmware", 10},
}};

// A control's caption and the window's as the person sees them, in the person's language.
std::string ShownCaption(const ControlLayout& row);
std::string ShownWindowCaption();
// The program's title (a message box's), in the person's language when it is the title the
// catalogue knows: the desktop entry's name (scripts/update-po.sh takes it from there).
std::string ShownApplicationName();

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
