// Linux: the file chooser through zenity or kdialog, Pictures, local time and xdg-open.
#include "platform/Desktop.h"

#include <ctime>
#include <cstdlib>
#include <sstream>

#include "platform/Files.h"
#include "platform/Process.h"

namespace vell {

namespace {

std::string homeDirectory() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/tmp";
}

std::vector<std::string> patternsOf(const std::string& spec) {
  std::vector<std::string> out;
  std::stringstream ss(spec);
  std::string p;
  while (std::getline(ss, p, ';'))
    if (!p.empty()) out.push_back(p);
  return out;
}

// A chooser that stays open for hours is the user's business, not a hang.
ProcessLimits chooserLimits() {
  ProcessLimits l;
  l.totalTimeoutMs = 24 * 3600 * 1000;
  l.exitWaitMs = 5000;
  l.maxOutputBytes = 64 * 1024;
  return l;
}

std::string firstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

}  // namespace

bool fileChooserAvailable() {
  std::string path = processSearchPath();
  return !findOnSearchPath("zenity", path).empty() || !findOnSearchPath("kdialog", path).empty();
}

std::string runFileChooser(const FileDialogOptions& o, const std::atomic<bool>* cancel) {
  std::string search = processSearchPath();
  std::string zenity = findOnSearchPath("zenity", search);
  std::vector<std::string> args;
  std::string tool;
  if (!zenity.empty()) {
    tool = zenity;
    args = {"--file-selection"};
    if (!o.title.empty()) args.push_back("--title=" + o.title);
    if (!o.initialDirectory.empty()) args.push_back("--filename=" + o.initialDirectory + "/");
    for (const auto& [label, spec] : o.filters) {
      std::string f = "--file-filter=" + label + " |";
      for (const auto& p : patternsOf(spec)) f += " " + p;
      args.push_back(f);
    }
  } else {
    tool = findOnSearchPath("kdialog", search);
    if (tool.empty()) return {};
    std::string filter;
    for (const auto& [label, spec] : o.filters) {
      if (!filter.empty()) filter += "\n";
      for (const auto& p : patternsOf(spec)) filter += p + " ";
      filter += "|" + label;
    }
    args = {"--getopenfilename", o.initialDirectory.empty() ? homeDirectory() : o.initialDirectory, filter};
    if (!o.title.empty()) args.insert(args.begin(), {"--title", o.title});
  }
  ProcessResult r = runProcess(tool, args, chooserLimits(), cancel);
  if (!r.exited || r.exitCode != 0) return {};
  std::string path = firstLine(r.output);
  return fileExists(path) ? path : std::string();
}

std::string picturesDirectory() {
  std::string home = homeDirectory();
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::string config = configHome && *configHome ? configHome : home + "/.config";
  std::string text;
  if (readFileLimited(config + "/user-dirs.dirs", 1 << 20, text)) {
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) {
      const std::string key = "XDG_PICTURES_DIR=";
      if (line.rfind(key, 0) != 0) continue;
      std::string value = line.substr(key.size());
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
      if (!value.empty() && value.front() == '/') return value;
    }
  }
  return home + "/Pictures";
}

LocalTime localTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

void openLink(const std::string& url) {
  std::string tool = findOnSearchPath("xdg-open", processSearchPath());
  if (tool.empty()) return;
  // Detached: the handler may keep running long after.
  std::vector<std::string> args = {url};
  ProcessLimits l;
  l.totalTimeoutMs = 2000;
  runProcess(tool, args, l);
}

const char* technologyCredits() { return "FFmpeg · SDL2 · cairo / pango · libcurl"; }

}  // namespace vell
