#include "support/Env.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Files.h"
#include "platform/win32/WinText.h"

namespace vell::test {

// Both copies: the C runtime's (getenv) and the process's (GetEnvironmentVariableW, children).
void setEnv(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
  SetEnvironmentVariableW(win::widen(name).c_str(), win::widen(value).c_str());
}

void unsetEnv(const std::string& name) {
  _putenv_s(name.c_str(), "");
  SetEnvironmentVariableW(win::widen(name).c_str(), nullptr);
}

bool setHttpProxy(const std::string&) { return false; }

namespace {

constexpr const wchar_t* kShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const wchar_t* kPicturesValue = L"My Pictures";

bool underWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::string picturesNow() {
  PWSTR path = nullptr;
  std::string out;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_DONT_VERIFY, nullptr, &path))) out = win::narrow(path);
  CoTaskMemFree(path);
  return out;
}

bool setPicturesValue(const std::wstring& value) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
  LONG set = RegSetValueExW(key, kPicturesValue, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

}  // namespace

// The user's folders are written in the registry under %USERPROFILE%; wine's shell expands
// that from its own profile path, not from the variable. Only a wine prefix, a test's own,
// gets its registry changed: back to the default afterwards.
PicturesFolder::PicturesFolder(const std::string& home) {
  // Made first: wine makes a missing one a link to the Linux user's home.
  makeDirectories(home + "/Pictures");
  std::string profile = home;
  std::replace(profile.begin(), profile.end(), '/', '\\');
  setEnv("USERPROFILE", profile);
  const std::string wanted = profile + "\\Pictures";
  moved_ = picturesNow() == wanted;
  if (!moved_ && underWine() && setPicturesValue(win::widen(wanted))) {
    restore_ = "%USERPROFILE%\\Pictures";
    moved_ = picturesNow() == wanted;
  }
}

PicturesFolder::~PicturesFolder() {
  if (!restore_.empty()) setPicturesValue(win::widen(restore_));
}

namespace {

// A class object that makes nothing: the open dialog cannot be had.
class Refusing : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (id != IID_IUnknown && id != IID_IClassFactory) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) override {
    *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

}  // namespace

struct NoFileChooser::Impl {
  Refusing factory;
  HRESULT com = E_FAIL;
  DWORD cookie = 0;
};

NoFileChooser::NoFileChooser() : impl_(std::make_unique<Impl>()) {
  impl_->com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CoRegisterClassObject(CLSID_FileOpenDialog, &impl_->factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                        &impl_->cookie);
}

NoFileChooser::~NoFileChooser() {
  if (impl_->cookie) CoRevokeClassObject(impl_->cookie);
  if (SUCCEEDED(impl_->com)) CoUninitialize();
}

}  // namespace vell::test
