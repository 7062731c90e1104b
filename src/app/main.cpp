// The program's entry: --version, the data folders, the command line and the App's run.
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "Version.h"
#include "app/App.h"
#include "engine/FfmpegLog.h"
#include "platform/Console.h"
#include "platform/DataDirs.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "platform/ProgramArgs.h"
#include "platform/Uri.h"

// The arguments after the program name, joined with single spaces, are one path or URL;
// surrounding double quotes are removed.
static std::string commandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (size_t i = 1; i < argv.size(); ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
  // File managers pass file:// URIs; the player opens those as the files they name.
  std::string path;
  if (vell::fileUriToPath(line, path)) return path;
  return line;
}

// Several files from a file manager ("Open with" passes each as its own argument): the paths,
// when every argument names an existing file and together they do not name one.
static std::vector<std::string> separateFiles(const std::vector<std::string>& argv, const std::string& joined) {
  std::vector<std::string> files;
  if (argv.size() < 3 || vell::fileExists(joined)) return files;
  for (size_t i = 1; i < argv.size(); ++i) {
    std::string path = argv[i];
    vell::fileUriToPath(argv[i], path);
    if (!vell::fileExists(path)) return {};
    files.push_back(path);
  }
  return files;
}

int main(int argc, char** argv) {
  // Answered before anything else: no window, and the data folders stay untouched.
  if (argc == 2 && std::string(argv[1]) == "--version") {
    vell::writeStdout("Vell Player " VELL_VERSION "\n");
    return 0;
  }
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    vell::writeStdout(
        "사용법: vell-player [파일 또는 URL]\n"
        "  동영상이나 음악 파일, 재생목록(.m3u, .pls), 스트림 주소(http, https, rtmp),\n"
        "  동영상 사이트 주소를 엽니다. 파일을 여러 개 주면 모두 재생목록에 넣습니다.\n"
        "  --version  버전을 출력합니다\n"
        "  --help     이 도움말을 출력합니다\n");
    return 0;
  }
  vell::installFfmpegLog();
  avformat_network_init();
  int exitCode = 1;
  {
    vell::DataPaths paths = vell::dataPathsForProgram();
    for (const auto& moved : vell::prepareDataPaths(vell::executableDir(), paths))
      vell::debugLog("Moved a file of an earlier run from the program folder to %s\n", moved.c_str());
    vell::App app(paths);
    std::vector<std::string> args = vell::programArguments(argc, argv);
    std::string line = commandLine(args);
    std::vector<std::string> files = separateFiles(args, line);
    if (app.create(files.empty() ? line : std::string())) {
      if (!files.empty()) app.onDropFiles(files, 0, 0);  // queued like several dropped files
      exitCode = app.run();
    } else {
      vell::showMessageBox("윈도우 생성 실패.\nD3D11 또는 시스템 오류를 확인하세요.", "Vell Player",
                           vell::MessageButtons::Ok, vell::MessageIcon::Error);
    }
  }
  avformat_network_deinit();
  return exitCode;
}
