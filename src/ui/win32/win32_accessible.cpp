#include <windows.h>
// After windows.h:
#include <ole2.h>
#include <oleacc.h>

#include <cmath>
#include <string>

#include "text/text_codec.h"
#include "text/translation.h"
#include "ui/win32/win32_accessible.h"

namespace dalvorn::win32 {
namespace {

constexpr wchar_t StateProperty[] = L"DalvornAccessible";

// What a control tells screen readers, kept with the control (a window property) for as long
// as the control lives; the objects handed out read it at each call.
struct AccessibleState {
  AccessibleKind kind;
  std::wstring name;
  WNDPROC previousProc;
  int percent = 0;
};

AccessibleState* StateOf(HWND control) {
  return static_cast<AccessibleState*>(::GetPropW(control, StateProperty));
}

template <typename Function>
Function Lookup(const wchar_t* dll, const char* name) {
  HMODULE module = ::GetModuleHandleW(dll);
  if (module == nullptr) module = ::LoadLibraryW(dll);
  FARPROC proc = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// The few functions of oleacc.dll and oleaut32.dll the objects need, loaded on first use.
struct AccessibilityFunctions {
  using FromObject = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  using CreateStd = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
  using AllocString = BSTR(WINAPI*)(const OLECHAR*);

  FromObject lresultFromObject = Lookup<FromObject>(L"oleacc.dll", "LresultFromObject");
  CreateStd createStdAccessibleObject =
      Lookup<CreateStd>(L"oleacc.dll", "CreateStdAccessibleObject");
  AllocString sysAllocString = Lookup<AllocString>(L"oleaut32.dll", "SysAllocString");
};

const AccessibilityFunctions& Functions() {
  static const AccessibilityFunctions functions;
  return functions;
}

std::wstring TextOf(HWND control) {
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  const int got = ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

// One control's object. Questions about the control itself are answered here; the ones about
// its place among the others (parent, navigation, location) go to the system's own object.
class ControlAccessible final : public IAccessible {
 public:
  explicit ControlAccessible(HWND control) : control_(control) {
    if (Functions().createStdAccessibleObject != nullptr) {
      Functions().createStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&standard_));
    }
  }
  ControlAccessible(const ControlAccessible&) = delete;
  ControlAccessible& operator=(const ControlAccessible&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: no type information; clients call the IAccessible methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible: the control itself.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    const AccessibleState* state = nullptr;
    if (HRESULT hr = Check(child, name, state); hr != S_OK) return hr;
    const bool named =
        state->kind == AccessibleKind::PushButton || state->kind == AccessibleKind::StatusLine;
    return Text(named ? TextOf(control_) : state->name, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    const AccessibleState* state = nullptr;
    if (HRESULT hr = Check(child, value, state); hr != S_OK) return hr;
    switch (state->kind) {
      case AccessibleKind::ValueLabel:
        return Text(TextOf(control_), value);
      case AccessibleKind::ProgressBar:
        return Text(std::to_wstring(state->percent) + L"%", value);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    const AccessibleState* state = nullptr;
    if (HRESULT hr = Check(child, role, state); hr != S_OK) return hr;
    role->vt = VT_I4;
    role->lVal = state->kind == AccessibleKind::ProgressBar  ? ROLE_SYSTEM_PROGRESSBAR
                 : state->kind == AccessibleKind::PushButton ? ROLE_SYSTEM_PUSHBUTTON
                                                             : ROLE_SYSTEM_STATICTEXT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
    const AccessibleState* state = nullptr;
    if (HRESULT hr = Check(child, out, state); hr != S_OK) return hr;
    LONG flags = 0;
    if (!::IsWindowVisible(control_)) flags |= STATE_SYSTEM_INVISIBLE;
    if (state->kind == AccessibleKind::PushButton) {
      if (!::IsWindowEnabled(control_)) {
        flags |= STATE_SYSTEM_UNAVAILABLE;
      } else {
        flags |= STATE_SYSTEM_FOCUSABLE;
        if (::GetFocus() == control_) flags |= STATE_SYSTEM_FOCUSED;
      }
    } else {
      flags |= STATE_SYSTEM_READONLY;
    }
    out->vt = VT_I4;
    out->lVal = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    const AccessibleState* state = nullptr;
    if (HRESULT hr = Check(child, action, state); hr != S_OK) return hr;
    if (state->kind != AccessibleKind::PushButton) return DISP_E_MEMBERNOTFOUND;
    // TRANSLATORS: what a screen reader says pressing the button does.
    return Text(WideFromUtf8(Tr("Press")), action);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    const AccessibleState* state = nullptr;
    VARIANT unused;
    if (HRESULT hr = Check(child, &unused, state); hr != S_OK) return hr;
    if (state->kind != AccessibleKind::PushButton) return DISP_E_MEMBERNOTFOUND;
    if (!::IsWindowEnabled(control_) || !::IsWindowVisible(control_)) return E_FAIL;
    // Posted: the client's call returns before the click's handling runs.
    ::PostMessageW(control_, BM_CLICK, 0, 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override { return Nothing(out); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override { return Nothing(out); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (topic != nullptr) *topic = 0;
    return Nothing(file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* out) override {
    return Nothing(out);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
    if (child == nullptr) return E_POINTER;
    *child = nullptr;
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  // IAccessible: the control among the others, as the system's object tells it.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent != nullptr) *parent = nullptr;
    return standard_ != nullptr ? standard_->get_accParent(parent) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return standard_ != nullptr ? standard_->get_accFocus(focus) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return standard_ != nullptr ? standard_->get_accSelection(selection) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return standard_ != nullptr ? standard_->accSelect(flags, child) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return standard_ != nullptr ? standard_->accLocation(left, top, width, height, child)
                                : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return standard_ != nullptr ? standard_->accNavigate(direction, start, end) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return standard_ != nullptr ? standard_->accHitTest(x, y, child) : E_NOTIMPL;
  }

 private:
  ~ControlAccessible() {
    if (standard_ != nullptr) standard_->Release();
  }

  // S_OK with the control's state when the question is about the control itself and it
  // still exists.
  template <typename Out>
  HRESULT Check(const VARIANT& child, Out* out, const AccessibleState*& state) const {
    if (out == nullptr) return E_POINTER;
    if (child.vt != VT_I4 || child.lVal != CHILDID_SELF) return E_INVALIDARG;
    state = ::IsWindow(control_) ? StateOf(control_) : nullptr;
    return state != nullptr ? S_OK : CO_E_OBJNOTCONNECTED;
  }

  static HRESULT Text(const std::wstring& text, BSTR* out) {
    if (Functions().sysAllocString == nullptr) return E_FAIL;
    *out = Functions().sysAllocString(text.c_str());
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  static HRESULT Nothing(BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return DISP_E_MEMBERNOTFOUND;
  }

  HWND control_;
  IAccessible* standard_ = nullptr;
  long references_ = 1;
};

LRESULT CALLBACK AccessibleControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  AccessibleState* state = StateOf(control);
  const WNDPROC previous = state->previousProc;
  if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT) &&
      Functions().lresultFromObject != nullptr) {
    auto* object = new ControlAccessible(control);
    const LRESULT result = Functions().lresultFromObject(__uuidof(IAccessible), wParam, object);
    object->Release();  // the result holds its own reference
    return result;
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    ::RemovePropW(control, StateProperty);
    delete state;
  }
  return ::CallWindowProcW(previous, control, message, wParam, lParam);
}

}  // namespace

void MakeAccessible(HWND control, AccessibleKind kind, const std::wstring& name) {
  if (control == nullptr || StateOf(control) != nullptr) return;
  auto* state = new AccessibleState{kind, name, nullptr};
  ::SetPropW(control, StateProperty, state);
  state->previousProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AccessibleControlProc)));
}

void SetProgressPercent(HWND bar, int percent) {
  AccessibleState* state = StateOf(bar);
  if (state == nullptr || state->percent == percent) return;
  state->percent = percent;
  ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, bar, OBJID_CLIENT, CHILDID_SELF);
}

int ProgressPercent(HWND bar) {
  const AccessibleState* state = StateOf(bar);
  return state != nullptr ? state->percent : 0;
}

void NotifyValueChanged(HWND control) {
  ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}

void NotifyNameChanged(HWND control) {
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}

int PercentOfWidth(float width, float fullWidth) {
  if (!(fullWidth > 0.0f) || !(width > 0.0f)) return 0;
  const long percent = std::lround(100.0 * static_cast<double>(width) / fullWidth);
  return percent > 100 ? 100 : static_cast<int>(percent);
}

}  // namespace dalvorn::win32
