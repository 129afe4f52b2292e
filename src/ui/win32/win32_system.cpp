#include <windows.h>

#include "ui/win32/win32_system.h"

#include <array>
#include <cstdlib>
#include <string_view>

#include "ui/win32/win32_layout.h"

namespace dalvorn::win32 {
namespace {

// Looks up a function that older systems lack; null when it is missing.
template <typename Function>
Function Lookup(const char* name) {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  FARPROC proc = user32 != nullptr ? ::GetProcAddress(user32, name) : nullptr;
  // Through the generic function type, which converts to any other without a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

struct DpiFunctions {
  using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  using ForWindow = UINT(WINAPI*)(HWND);
  using AdjustRect = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  using Metric = int(WINAPI*)(int, UINT);
  using SetAware = BOOL(WINAPI*)();

  SetContext setProcessDpiAwarenessContext = Lookup<SetContext>("SetProcessDpiAwarenessContext");
  ForWindow getDpiForWindow = Lookup<ForWindow>("GetDpiForWindow");
  AdjustRect adjustWindowRectExForDpi = Lookup<AdjustRect>("AdjustWindowRectExForDpi");
  Metric getSystemMetricsForDpi = Lookup<Metric>("GetSystemMetricsForDpi");
  SetAware setProcessDpiAware = Lookup<SetAware>("SetProcessDPIAware");
};

const DpiFunctions& Functions() {
  static const DpiFunctions functions;
  return functions;
}

// The character height a font is drawn with, in pixels.
int CharacterHeight(HFONT font) {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return metrics.tmHeight - metrics.tmInternalLeading;
}

// Whether the system has `face` itself: a font made for it reports that face, not a stand-in.
bool HasFace(HFONT font, const wchar_t* face) {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  wchar_t got[LF_FACESIZE] = {};
  ::GetTextFaceW(dc, LF_FACESIZE, got);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return ::lstrcmpiW(got, face) == 0;
}

// GWLP_USERDATA of a picture box: its RGB colour, or FaceColour for the dialog background.
constexpr LONG_PTR FaceColour = -1;

LRESULT CALLBACK PictureBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT client;
      ::GetClientRect(window, &client);
      const LONG_PTR colour = ::GetWindowLongPtrW(window, GWLP_USERDATA);
      if (colour == FaceColour) {
        ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
      } else {
        ::SetBkColor(dc, static_cast<COLORREF>(colour));
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
      }
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      ::BeginPaint(window, &ps);
      ::EndPaint(window, &ps);
      return 0;
    }
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

const wchar_t PictureBoxClass[] = L"DalvornPictureBox";

void EnableDpiAwareness() {
  static const bool done = [] {
    const DpiFunctions& f = Functions();
    if (f.setProcessDpiAwarenessContext != nullptr &&
        (f.setProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) ||
         f.setProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE))) {
      return true;
    }
    // Already set (by the manifest), or a system without per-monitor awareness.
    if (f.setProcessDpiAwarenessContext == nullptr && f.setProcessDpiAware != nullptr) {
      f.setProcessDpiAware();
    }
    return true;
  }();
  (void)done;
}

UINT WindowDpi(HWND window) {
  const DpiFunctions& f = Functions();
  if (f.getDpiForWindow != nullptr) {
    const UINT dpi = f.getDpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  HDC dc = ::GetDC(window);
  const int dpi = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
  if (dc != nullptr) ::ReleaseDC(window, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

SIZE OuterSize(SIZE client, DWORD style, DWORD exStyle, int dpi) {
  RECT r{0, 0, client.cx, client.cy};
  const DpiFunctions& f = Functions();
  if (f.adjustWindowRectExForDpi != nullptr) {
    f.adjustWindowRectExForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi));
  } else {
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
  }
  return SIZE{r.right - r.left, r.bottom - r.top};
}

int MetricForDpi(int index, int dpi) {
  const DpiFunctions& f = Functions();
  if (f.getSystemMetricsForDpi != nullptr) {
    return f.getSystemMetricsForDpi(index, static_cast<UINT>(dpi));
  }
  return ::GetSystemMetrics(index);
}

namespace {

// The faces for the language's letters when "MS Sans Serif" lacks them, best first, with the
// character set that makes a system with none of them choose one that has the letters. The
// last of each list is the one Debian has (Wine takes the system's fonts too), so that Japanese
// and Chinese are drawn in their own forms of the characters there as well.
struct ScriptFont {
  std::array<const wchar_t*, 4> faces;
  BYTE charset;
};

ScriptFont FontForLanguage(std::string_view language) {
  if (language == "ja") {
    return {{L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic", L"Noto Sans CJK JP"},
            SHIFTJIS_CHARSET};
  }
  if (language.starts_with("zh")) {
    return {{L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun", L"Noto Sans CJK SC"},
            GB2312_CHARSET};
  }
  return {{L"Microsoft Sans Serif", L"Segoe UI", L"Tahoma", L"DejaVu Sans"},
          language == "pl" ? static_cast<BYTE>(EASTEUROPE_CHARSET)
                           : static_cast<BYTE>(DEFAULT_CHARSET)};
}

// Whether Windows-1252, the code page of "MS Sans Serif", has every letter of the language.
bool WesternLetters(std::string_view language) {
  for (std::string_view western : {"", "de", "es", "fr", "it", "pt_BR"}) {
    if (language == western) return true;
  }
  return false;
}

}  // namespace

HFONT CreateWindowFont(int dpi, std::string_view language) {
  const int height = FontHeight(FontPoints, dpi);
  const auto make = [height](const wchar_t* face, BYTE charset, DWORD precision) {
    return ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, precision,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
  };
  if (!WesternLetters(language)) {
    const ScriptFont script = FontForLanguage(language);
    for (const wchar_t* face : script.faces) {
      HFONT font = make(face, script.charset, OUT_TT_PRECIS);
      if (font != nullptr && HasFace(font, face)) return font;
      if (font != nullptr) ::DeleteObject(font);
    }
    return make(script.faces[0], script.charset, OUT_TT_PRECIS);
  }
  const std::wstring face(FontFace);
  HFONT font = make(face.c_str(), ANSI_CHARSET, OUT_DEFAULT_PRECIS);
  if (dpi == DefaultDpi || font == nullptr) return font;
  // The face's bitmap sizes stop short of the larger heights of scaled screens: then its
  // outline successor, or the nearest outline face the system has, at the height asked for.
  for (const wchar_t* outline : {L"Microsoft Sans Serif", L"Tahoma", L"Arial"}) {
    if (std::abs(CharacterHeight(font) + height) <= 1) break;
    ::DeleteObject(font);
    font = make(outline, ANSI_CHARSET, OUT_TT_PRECIS);
  }
  return font;
}

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), n);
  return wide;
}

void RegisterPictureBoxClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PictureBoxProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = PictureBoxClass;
  ::RegisterClassExW(&wc);  // fails harmlessly when the class is already registered
}

void SetPictureBoxColour(HWND box, COLORREF colour, bool systemFace) {
  ::SetWindowLongPtrW(box, GWLP_USERDATA, systemFace ? FaceColour : static_cast<LONG_PTR>(colour));
  ::InvalidateRect(box, nullptr, TRUE);
}

}  // namespace dalvorn::win32
