// The desktop's services on Windows: the progress on the window's taskbar button through
// ITaskbarList3, and the end of an update as a balloon of an icon in the notification area
// (Shell_NotifyIconW with NIF_INFO; Windows 10 and 11 show it as a toast), the icon removed when
// the program ends. A taskbar or a shell that refuses changes nothing.
#include "device/windows/desktop_shell_windows.h"

#include <windows.h>

#include <shellapi.h>
#include <shobjidl.h>

#include <cstdio>
#include <cwchar>
#include <utility>

#include "text/text_codec.h"

namespace dalvorn {
namespace {

constexpr UINT NotifyIconId = 1;
constexpr int AppIconId = 1;  // the program's icon in its resources

std::string Hex(long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(value));
  return text;
}

class WindowsDesktopShell final : public DesktopShell {
 public:
  WindowsDesktopShell(HWND window, std::function<void(const std::string&)> log)
      : window_(window), log_(std::move(log)) {}
  WindowsDesktopShell(const WindowsDesktopShell&) = delete;
  WindowsDesktopShell& operator=(const WindowsDesktopShell&) = delete;

  ~WindowsDesktopShell() override {
    if (iconAdded_) {
      NOTIFYICONDATAW data = IconData();
      Log("Shell_NotifyIconW NIM_DELETE", ::Shell_NotifyIconW(NIM_DELETE, &data) ? 1 : 0);
    }
    if (taskbar_ != nullptr) taskbar_->Release();
    if (comStarted_) ::CoUninitialize();
  }

  void SetTaskbarState(TaskbarState state) override {
    if (Taskbar() == nullptr) return;
    TBPFLAG flag = TBPF_NOPROGRESS;
    const char* name = "TBPF_NOPROGRESS";
    switch (state) {
      case TaskbarState::Normal:
        flag = TBPF_NORMAL, name = "TBPF_NORMAL";
        break;
      case TaskbarState::Waiting:
        flag = TBPF_INDETERMINATE, name = "TBPF_INDETERMINATE";
        break;
      case TaskbarState::Error:
        flag = TBPF_ERROR, name = "TBPF_ERROR";
        break;
      case TaskbarState::None:
        break;
    }
    Log(std::string("SetProgressState ") + name, taskbar_->SetProgressState(window_, flag));
  }

  void SetTaskbarProgress(int percent) override {
    if (Taskbar() == nullptr) return;
    Log("SetProgressValue " + std::to_string(percent),
        taskbar_->SetProgressValue(window_, static_cast<ULONGLONG>(percent), 100));
  }

  void Notify(const std::string& title, const std::string& body) override {
    NOTIFYICONDATAW data = IconData();
    if (!iconAdded_) {
      data.uFlags = NIF_ICON | NIF_TIP;
      data.hIcon = static_cast<HICON>(
          ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(AppIconId), IMAGE_ICON,
                       ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
      if (data.hIcon == nullptr)
        data.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
      Copy(data.szTip, title);
      iconAdded_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
      Log("Shell_NotifyIconW NIM_ADD", iconAdded_ ? 1 : 0);
      if (!iconAdded_) return;
    }
    data = IconData();
    data.uFlags = NIF_INFO;
    Copy(data.szInfoTitle, title);
    Copy(data.szInfo, body);
    data.dwInfoFlags = NIIF_INFO;
    Log("Shell_NotifyIconW NIM_MODIFY NIF_INFO", ::Shell_NotifyIconW(NIM_MODIFY, &data) ? 1 : 0);
  }

 private:
  // The taskbar's interface, made at the first use; null when the system has none.
  ITaskbarList3* Taskbar() {
    if (triedTaskbar_) return taskbar_;
    triedTaskbar_ = true;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comStarted_ = SUCCEEDED(com);
    void* object = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskbarList3, &object);
    Log("CoCreateInstance CLSID_TaskbarList", hr);
    if (FAILED(hr)) return nullptr;
    auto* taskbar = static_cast<ITaskbarList3*>(object);
    hr = taskbar->HrInit();
    Log("HrInit", hr);
    if (FAILED(hr)) {
      taskbar->Release();
      return nullptr;
    }
    taskbar_ = taskbar;
    return taskbar_;
  }

  NOTIFYICONDATAW IconData() const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = NotifyIconId;
    return data;
  }

  // Copies as much of `text` as the field holds, always terminated.
  template <std::size_t N>
  static void Copy(wchar_t (&field)[N], const std::string& text) {
    const std::wstring wide = WideFromUtf8(text);
    const std::size_t n = wide.size() < N - 1 ? wide.size() : N - 1;
    std::wmemcpy(field, wide.data(), n);
    field[n] = 0;
  }

  void Log(const std::string& call, long result) const {
    if (log_) log_(call + " " + Hex(result));
  }

  HWND window_;
  std::function<void(const std::string&)> log_;
  ITaskbarList3* taskbar_ = nullptr;
  bool triedTaskbar_ = false;
  bool comStarted_ = false;
  bool iconAdded_ = false;
};

}  // namespace

std::unique_ptr<DesktopShell> MakeWindowsDesktopShell(void* window,
                                                      std::function<void(const std::string&)> log) {
  return std::make_unique<WindowsDesktopShell>(static_cast<HWND>(window), std::move(log));
}

std::unique_ptr<DesktopShell> MakeOsDesktopShell(void* window) {
  return MakeWindowsDesktopShell(window, nullptr);
}

}  // namespace dalvorn
