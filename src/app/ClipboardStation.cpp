// The stream browser's add button: the URL on the clipboard becomes a user radio station.
#include "app/App.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"

namespace vell {

namespace {

std::string trimmed(const std::string& text) {
  size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(start, end - start + 1);
}

}  // namespace

void App::addClipboardStation() {
  // The clipboard is read into a 512-character buffer; the line breaks a copy from a page
  // often carries around the address are dropped.
  std::string url = trimmed(utf8Prefix(Window::clipboardText(), 511));
  if (!contains(url, "http") && !contains(url, "rtsp")) {
    showMessageBox("클립보드에 URL을 복사한 후 다시 시도하세요.\n(http://, https:// 지원)", "스트림 추가",
                   MessageButtons::Ok, MessageIcon::Information, window.handle());
    return;
  }
  std::string question = "스트림 URL을 추가합니다:\n\n" + url + "\n\n이 URL을 라디오에 추가할까요?";
  if (showMessageBox(question, "스트림 추가", MessageButtons::OkCancel, MessageIcon::Question, window.handle()) !=
      MessageAnswer::Ok)
    return;

  StreamEntry entry;
  entry.type = streamTypeForUrl(url, false);
  entry.id = catalog.newUserId(tickCount());
  entry.name = "사용자 스트림";
  entry.genre = "사용자";
  entry.description = "직접 추가";
  entry.url = url;
  entry.isUser = true;
  catalog.addUserStream(entry);  // saves and reloads; a failed write still keeps it for the session
  syncBrowser();
  streamBrowser.rebuildRows();
  showToast("스트림 추가됨", 1000);
}

}  // namespace vell
