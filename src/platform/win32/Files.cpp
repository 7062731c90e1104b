// Windows: files and folders, atomic saves that wait for a held file, the program's folder.
#include "platform/Files.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/Log.h"
#include "platform/win32/WinText.h"

namespace vell {

namespace {

using win::narrow;
using win::widePath;

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(widePath(path).c_str()); }

uint64_t fileTimeValue(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// The process of that id is gone: no such process, or it has exited and only its handle
// keeps the id alive. A process we may not open is alive.
bool processGone(DWORD pid) {
  if (pid == 0) return true;
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
  if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;
  bool exited = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  CloseHandle(h);
  return exited;
}

bool writeAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

// Another program that opened the file without letting it be deleted: a virus scanner or the
// search indexer reading what was just saved. It lets go within moments.
bool heldByAnother(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// One rename over the old file. Not ReplaceFileW: it moves the old file aside first, so a
// crash between its steps leaves no file at all, and the old one under a temporary name.
// While another program holds the old file the rename is tried again for about 200 ms.
bool replaceWithRetries(const std::wstring& from, const std::wstring& to, const std::string& path) {
  constexpr ULONGLONG kPatienceMs = 200;
  const ULONGLONG start = GetTickCount64();
  for (int retries = 0;; ++retries) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      if (retries > 0) debugLog("Saving %s waited for another program to let go of it (%d retries)", path.c_str(), retries);
      return true;
    }
    DWORD error = GetLastError();
    DWORD target = GetFileAttributesW(to.c_str());
    bool held = heldByAnother(error) && target != INVALID_FILE_ATTRIBUTES &&
                !(target & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
    if (!held) return false;
    if (GetTickCount64() - start >= kPatienceMs) {
      debugLog("Saving %s failed: another program held it for %d retries (error %lu)", path.c_str(), retries,
               static_cast<unsigned long>(error));
      return false;
    }
    Sleep(10);
  }
}

}  // namespace

std::string executableDir() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);  // cut off: the name is longer than the buffer
  }
  std::string dir = parentPath(narrow(win::withoutLongPrefix(path)));
  return dir.empty() ? std::string(".") : dir;
}

bool fileExists(const std::string& path) {
  DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool isDirectory(const std::string& path) {
  DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (isDirectory(path)) return true;
  std::string parent = parentPath(path);
  // Stop at a root ("C:", "\\server\share" and the like never need creating).
  if (!parent.empty() && parent != path && parent.back() != ':' && !isDirectory(parent)) makeDirectories(parent);
  CreateDirectoryW(widePath(path).c_str(), nullptr);
  return isDirectory(path);
}

bool removeFile(const std::string& path) { return DeleteFileW(widePath(path).c_str()) != 0; }

bool readFileLimited(const std::string& path, size_t maxBytes, std::string& out) {
  out.clear();
  HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
      ok = false;
      break;
    }
    if (n == 0) break;
    if (out.size() + n > maxBytes) {
      ok = false;
      break;
    }
    out.append(buffer, n);
  }
  CloseHandle(file);
  if (!ok) out.clear();
  return ok;
}

bool readFile(const std::string& path, std::string& out) { return readFileLimited(path, SIZE_MAX, out); }

bool writeFileAtomic(const std::string& path, std::string_view data) {
  std::string tmp = path + ".tmp" + std::to_string(GetCurrentProcessId());
  std::wstring wideTmp = widePath(tmp), wideTarget = widePath(path);
  HANDLE file = CreateFileW(wideTmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = writeAll(file, data) && FlushFileBuffers(file);
  if (!CloseHandle(file)) ok = false;
  if (ok) ok = replaceWithRetries(wideTmp, wideTarget, path);
  if (!ok) DeleteFileW(wideTmp.c_str());
  return ok;
}

int removeStaleTemporaries(const std::string& directory, const std::vector<std::string>& names) {
  int removed = 0;
  FILETIME nowTime;
  GetSystemTimeAsFileTime(&nowTime);
  uint64_t now = fileTimeValue(nowTime);
  for (const std::string& entry : listDirectory(directory)) {
    for (const std::string& name : names) {
      std::string prefix = name + ".tmp";
      if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0) continue;
      std::string digits = entry.substr(prefix.size());
      if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
      unsigned long long id = std::stoull(digits);
      if (id > 0xFFFFFFFFull) continue;
      DWORD pid = static_cast<DWORD>(id);
      std::string path = directory + "/" + entry;
      WIN32_FILE_ATTRIBUTE_DATA info;
      if (!GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &info) ||
          (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        continue;
      // The process id was reused: FILETIME counts 100 ns.
      bool old = now > fileTimeValue(info.ftLastWriteTime) + 3600ull * 10000000ull;
      if ((pid == GetCurrentProcessId() || old || processGone(pid)) && removeFile(path)) ++removed;
    }
  }
  return removed;
}

std::vector<std::string> listDirectory(const std::string& path) {
  std::vector<std::string> names;
  if (path.empty()) return names;
  std::string pattern = path;
  if ( (pattern.back() != '\\' && pattern.back() != '/')) pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW(widePath(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    names.push_back(narrow(name));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace vell
