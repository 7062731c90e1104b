// Windows: tools started with CreateProcessW in a job, their pipes, time limits and ends.
#include "platform/Process.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/Files.h"
#include "platform/ProcessQuote.h"
#include "platform/win32/WinText.h"

namespace vell {

namespace {

using Clock = std::chrono::steady_clock;

int msSince(Clock::time_point t) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// Our end of one of the child's output pipes. Anonymous pipes cannot be read with a time-out,
// so the pipe is a named one opened for overlapped reads: both are waited on at once, and a
// child that never closes one of them cannot hold the caller.
struct OutputPipe {
  Handle pipe;
  Handle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  OVERLAPPED overlapped{};
  char buffer[4096];
  bool pending = false;
  bool open = false;

  ~OutputPipe() { close(); }

  // The child's end, inheritable; null on failure.
  Handle create() {
    static LONG counter = 0;
    std::wstring name = L"\\\\.\\pipe\\vell-player-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(InterlockedIncrement(&counter)) + L"-" + std::to_wstring(GetTickCount64());
    pipe.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 65536,
                                0, nullptr));
    if (pipe.get() == INVALID_HANDLE_VALUE || !event) return nullptr;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle childEnd(CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (childEnd.get() == INVALID_HANDLE_VALUE) return nullptr;
    open = true;
    return childEnd;
  }

  // Bytes read into `buffer`; 0 once the pipe is closed (every writer gone); -1 when nothing
  // has come yet (the read stays pending and `event` is set when it completes).
  int read() {
    for (;;) {
      if (!pending) {
        ResetEvent(event.get());
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event.get();
        if (!ReadFile(pipe.get(), buffer, sizeof buffer, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING)
          return 0;
        pending = true;
      }
      DWORD n = 0;
      if (!GetOverlappedResult(pipe.get(), &overlapped, &n, FALSE)) {
        if (GetLastError() == ERROR_IO_INCOMPLETE) return -1;
        pending = false;
        return 0;  // broken pipe: the child and everything it started closed their ends
      }
      pending = false;
      if (n > 0) return static_cast<int>(n);
    }
  }

  void close() {
    if (pending) {
      CancelIoEx(pipe.get(), &overlapped);
      DWORD n;
      GetOverlappedResult(pipe.get(), &overlapped, &n, TRUE);  // the buffer is ours again
      pending = false;
    }
    pipe.reset();
    open = false;
  }
};

void appendCapped(std::string& sink, const char* bytes, size_t n, size_t cap) {
  if (sink.size() < cap) sink.append(bytes, std::min(n, cap - sink.size()));
}

// Ends the child and everything it started (the job holds them all), and waits until the
// child is really gone.
void killAll(HANDLE job, HANDLE process) {
  if (!job || !TerminateJobObject(job, 1)) TerminateProcess(process, 1);
  WaitForSingleObject(process, 5000);
}

// `name` in the folder `dir`, joined with the separator the folder is written with.
std::string inFolder(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '\\' || dir.back() == '/') return dir + name;
  bool slashes = dir.find('/') != std::string::npos && dir.find('\\') == std::string::npos;
  return dir + (slashes ? "/" : "\\") + name;
}

}  // namespace

bool isExecutableFile(const std::string& path) { return !path.empty() && fileExists(path); }

std::string processSearchPath() {
  DWORD n = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(L"PATH", value.data(), n);
  value.resize(n);
  return win::narrow(value);
}

std::string findOnSearchPath(const std::string& name, const std::string& searchPath) {
  bool hasExe = name.size() >= 4 && _stricmp(name.c_str() + name.size() - 4, ".exe") == 0;
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(';', start);
    if (end == std::string::npos) end = searchPath.size();
    std::string dir = searchPath.substr(start, end - start);
    start = end + 1;
    // Entries may be quoted ("C:\Program Files\x").
    if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
    if (dir.empty()) continue;
    std::string candidate = inFolder(dir, name);
    if (isExecutableFile(candidate)) return candidate;
    if (!hasExe && isExecutableFile(candidate + ".exe")) return candidate + ".exe";
  }
  return {};
}

std::string findTool(const std::string& baseName, const std::string& programDir, const std::string& searchPath) {
  std::string beside = inFolder(programDir, baseName + ".exe");
  if (isExecutableFile(beside)) return beside;
  return findOnSearchPath(baseName + ".exe", searchPath);
}

std::string findTool(const std::string& baseName) { return findTool(baseName, executableDir(), processSearchPath()); }

ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& args,
                         const ProcessLimits& limits, const std::atomic<bool>* cancel) {
  ProcessResult result;
  OutputPipe pipes[2];  // standard output, standard error
  Handle outEnd = pipes[0].create();
  Handle errEnd = pipes[1].create();
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
  if (!outEnd || !errEnd || input.get() == INVALID_HANDLE_VALUE) return result;

  // Only these three handles reach the child: a pipe end inherited by a child started at the
  // same moment by another thread would keep that pipe open after our child ended.
  HANDLE inherited[3] = {input.get(), outEnd.get(), errEnd.get()};
  SIZE_T attrSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &attrSize);
  std::unique_ptr<char[]> attrBytes(new char[attrSize]);
  auto attrs = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attrBytes.get());
  if (!InitializeProcThreadAttributeList(attrs, 1, 0, &attrSize)) return result;
  bool haveList = UpdateProcThreadAttribute(attrs, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
                                            nullptr, nullptr);

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input.get();
  startup.StartupInfo.hStdOutput = outEnd.get();
  startup.StartupInfo.hStdError = errEnd.get();
  if (haveList) startup.lpAttributeList = attrs;

  std::vector<std::string> argv;
  argv.reserve(args.size() + 1);
  argv.push_back(executable);
  argv.insert(argv.end(), args.begin(), args.end());
  std::wstring commandLine = win::widen(quoteWindowsCommandLine(argv));
  std::wstring program = win::widePath(executable);

  // A job ends the child together with whatever it started; closing our handle to it ends
  // them too, so no helper of a finished or abandoned tool is left behind.
  Handle job(CreateJobObjectW(nullptr, nullptr));
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
    info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &info, sizeof info)) job.reset();
  }

  PROCESS_INFORMATION info{};
  DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT |
                (haveList ? EXTENDED_STARTUPINFO_PRESENT : 0);
  BOOL created = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                &startup.StartupInfo, &info);
  DeleteProcThreadAttributeList(attrs);
  // The child holds its own copies now: the pipes close when it (and its children) end.
  outEnd.reset();
  errEnd.reset();
  input.reset();
  if (!created) return result;
  Handle process(info.hProcess), thread(info.hThread);
  // Joined before it runs a single instruction, so nothing it starts can escape the job.
  if (job && !AssignProcessToJobObject(job.get(), process.get())) job.reset();
  ResumeThread(thread.get());
  result.started = true;

  auto start = Clock::now();
  std::string* sinks[2] = {&result.output, &result.errors};
  // Until standard output closes; standard error is read meanwhile so the child never
  // blocks on a full pipe.
  while (pipes[0].open && !result.killed) {
    if ((cancel && cancel->load()) || msSince(start) > limits.totalTimeoutMs) {
      result.killed = true;
      break;
    }
    bool got = false;
    for (int i = 0; i < 2 && !result.killed; ++i) {
      if (!pipes[i].open) continue;
      int n = pipes[i].read();
      if (n == 0) {
        pipes[i].close();
      } else if (n > 0) {
        got = true;
        if (i == 1) {
          appendCapped(result.errors, pipes[i].buffer, static_cast<size_t>(n), limits.maxOutputBytes);
        } else {
          sinks[i]->append(pipes[i].buffer, static_cast<size_t>(n));
          if (sinks[i]->size() > limits.maxOutputBytes) result.killed = true;
        }
      }
    }
    if (got || result.killed || !pipes[0].open) continue;
    HANDLE events[2];
    DWORD count = 0;
    for (auto& p : pipes)
      if (p.open && p.pending) events[count++] = p.event.get();
    if (count > 0) WaitForMultipleObjects(count, events, FALSE, 50);
  }
  // What the child wrote to standard error just before closing its output.
  while (!result.killed && pipes[1].open && result.errors.size() < limits.maxOutputBytes) {
    int n = pipes[1].read();
    if (n <= 0) break;
    appendCapped(result.errors, pipes[1].buffer, static_cast<size_t>(n), limits.maxOutputBytes);
  }
  for (auto& p : pipes) p.close();
  if (result.killed) {
    killAll(job.get(), process.get());
    return result;
  }

  // The output is closed; the child gets a bounded time to exit.
  auto closedAt = Clock::now();
  for (;;) {
    if (WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0) {
      DWORD code = 0;
      if (!GetExitCodeProcess(process.get(), &code)) return result;
      // No signals here: every end is an exit with a code (a crash gives an NTSTATUS code).
      result.exited = true;
      result.exitCode = static_cast<int>(code);
      return result;
    }
    if ((cancel && cancel->load()) || msSince(closedAt) > limits.exitWaitMs) {
      result.killed = true;
      killAll(job.get(), process.get());
      return result;
    }
  }
}

}  // namespace vell
