// Windows: the environment, the proxy in the registry, Pictures, no open dialog.
#include "support/Env.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

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

namespace {

constexpr const wchar_t* kInternetSettings = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const wchar_t* kConnections =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// A registry value as it was before the test set its own (absent when `present` is false).
struct SavedValue {
  const wchar_t* key;
  const wchar_t* name;
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

SavedValue save(const wchar_t* key, const wchar_t* name) {
  SavedValue v{key, name};
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, &v.type, nullptr, &size) != ERROR_SUCCESS) return v;
  v.data.resize(size);
  v.present = RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
  v.data.resize(size);
  return v;
}

void put(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY h;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(h);
}

void restore(const SavedValue& v) {
  if (v.present)
    put(v.key, v.name, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
  else
    RegDeleteKeyValueW(HKEY_CURRENT_USER, v.key, v.name);
}

void putString(const wchar_t* name, const std::wstring& text) {
  put(kInternetSettings, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The connection settings block Internet Options writes: a header (format 0x46, a change
// counter, flags), then the proxy, the bypass list and the script address, each as a length and
// its bytes.
std::vector<BYTE> connectionSettings(const std::string& proxy, const std::string& bypass) {
  std::vector<BYTE> out;
  auto dword = [&out](DWORD v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
  };
  auto text = [&](const std::string& s) {
    dword(static_cast<DWORD>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  };
  dword(0x46);
  dword(GetTickCount());
  dword(0x01 | 0x02);  // direct for the bypassed hosts, the proxy for the others
  text(proxy);
  text(bypass);
  text("");
  out.resize(out.size() + 32, 0);
  return out;
}

}  // namespace

// The user's proxy as Internet Options sets it: the connection settings WinINet and WinHTTP
// read, and the older values beside them; given back as they were with an empty `url`.
void setHttpProxy(const std::string& url) {
  static std::vector<SavedValue> saved;
  if (url.empty()) {
    for (const SavedValue& v : saved) restore(v);
    saved.clear();
    return;
  }
  if (saved.empty())
    saved = {save(kInternetSettings, L"ProxyEnable"), save(kInternetSettings, L"ProxyServer"),
             save(kInternetSettings, L"ProxyOverride"), save(kConnections, L"DefaultConnectionSettings")};
  std::string server = url.substr(url.find("://") == std::string::npos ? 0 : url.find("://") + 3);
  if (!server.empty() && server.back() == '/') server.pop_back();
  const std::string bypass = "<local>";
  DWORD enable = 1;
  put(kInternetSettings, L"ProxyEnable", REG_DWORD, &enable, sizeof enable);
  putString(L"ProxyServer", win::widen(server));
  putString(L"ProxyOverride", win::widen(bypass));
  std::vector<BYTE> block = connectionSettings(server, bypass);
  put(kConnections, L"DefaultConnectionSettings", REG_BINARY, block.data(), static_cast<DWORD>(block.size()));
}

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
