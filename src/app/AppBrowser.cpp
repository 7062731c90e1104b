// The stream browser's side of the window: opening and closing it, its clicks, hover,
// wheel and search typing, the episode lists arriving from the loader threads, and the add
// button that makes the URL on the clipboard a user radio station.
#include <memory>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "platform/VirtualKeys.h"

namespace vell {

namespace {

std::string trimmed(const std::string& text) {
  size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(start, end - start + 1);
}

}  // namespace

RectF App::browserPanel() const {
  ClientLayout l = computeLayout();
  if (!view.browserOpen || view.settingsOpen || l.sidePanelWidth <= 0) return RectF{};
  return RectF{static_cast<float>(l.width - l.sidePanelWidth), static_cast<float>(l.topBar),
               static_cast<float>(l.width), static_cast<float>(l.controlBarTop)};
}

void App::syncBrowser() {
  streamBrowser.open = view.browserOpen;
  streamBrowser.mode = view.browserPodcastMode ? 1 : 0;
  streamBrowser.catalogue = &catalog;
  streamBrowser.history = &history;
}

void App::toggleStreamBrowser(bool podcastMode) {
  if (view.browserOpen && view.browserPodcastMode == podcastMode) {
    view.browserOpen = false;
    if (!input.open) window.stopTextInput();
  } else {
    view.browserPodcastMode = podcastMode;
    playlist.visible = false;  // one side panel at a time
    view.settingsOpen = false;
    view.browserOpen = true;
    window.startTextInput();
  }
  syncBrowser();
  placeBrowserTextInput();
}

void App::placeBrowserTextInput() {
  // The input method's candidate window goes beside the search box.
  RectF panel = browserPanel();
  if (view.browserOpen && panel.width() > 0)
    window.setTextInputRect(toPixels(panel.left + 12), toPixels(panel.top + StreamBrowser::kListTop),
                            toPixels(panel.width() - 42), toPixels(StreamBrowser::kSearchHeight));
}

void App::onBrowserClick(int x, int y) {
  syncBrowser();
  RectF panel = browserPanel();
  const bool busy = connection.active.load();
  // Hit against the rows as drawn; a click off the search box then leaves it.
  int hit = streamBrowser.hitTest(static_cast<float>(x), static_cast<float>(y), panel);
  if (hit != kBrowserSearch && hit != kBrowserSearchClear) streamBrowser.searchFocused = false;
  switch (hit) {
    case kBrowserSearch:
      streamBrowser.searchFocused = true;
      break;
    case kBrowserSearchClear:
      streamBrowser.clearSearch();
      break;
    case kBrowserClose:
      toggleStreamBrowser(view.browserPodcastMode);
      break;
    case kBrowserRadioTab:
      view.browserPodcastMode = false;
      syncBrowser();
      break;
    case kBrowserPodcastTab:
      view.browserPodcastMode = true;
      syncBrowser();
      break;
    case kBrowserAdd:
      if (!busy) addClipboardStation();
      break;
    case kBrowserEntry: {
      const StreamEntry* e = streamBrowser.rows[streamBrowser.pointedRow].entry;
      if (!e) break;
      if (streamBrowser.mode == 1) {
        // Listing a podcast's episodes never disturbs a running connection.
        selectPodcast(*e);
        break;
      }
      // Copies: the open below pumps messages, and the catalogue may change meanwhile.
      std::string url = e->url, name = e->name, id = e->id;
      requestOpen(url, name, false, id);
      break;
    }
    case kBrowserEpisode: {
      int i = streamBrowser.pointedEpisode;
      if (i < 0 || i >= static_cast<int>(streamBrowser.episodes.size())) break;
      PodcastEpisode episode = streamBrowser.episodes[i];
      if (episode.url.empty()) break;
      requestOpen(episode.url, episode.title, true);
      break;
    }
    default:
      break;
  }
}

void App::selectPodcast(const StreamEntry& podcast) {
  if (podcast.id == streamBrowser.expandedPodcast) {
    streamBrowser.rebuildRows();
    return;
  }
  streamBrowser.expandedPodcast = podcast.id;
  streamBrowser.episodes.clear();
  streamBrowser.loading = true;
  showToast("에피소드 로딩 중...", 2000);
  // The batch travels inside a task, so the list is never shared between threads. The loader
  // thread may outlive the App: a task for a window that is gone is dropped unrun.
  episodeLoader.start(podcast, [this, to = window.taskTarget()](std::unique_ptr<EpisodeBatch> batch) {
    std::shared_ptr<EpisodeBatch> arrived = std::move(batch);
    Window::postTask([this, arrived] { onEpisodesLoaded(std::make_unique<EpisodeBatch>(std::move(*arrived))); }, to);
  });
  streamBrowser.rebuildRows();
}

void App::onEpisodesLoaded(std::unique_ptr<EpisodeBatch> batch) {
  // A list for a podcast the user has since left is dropped; the newer fetch still runs.
  if (!batch || !episodeLoader.accept(*batch)) return;
  streamBrowser.loading = false;
  if (batch->podcastId == streamBrowser.expandedPodcast && !batch->episodes.empty()) {
    streamBrowser.episodes = std::move(batch->episodes);
    streamBrowser.rebuildRows();
  } else {
    showToast("에피소드를 불러올 수 없음", 1200);
  }
}

void App::onBrowserHover(int x, int y) {
  syncBrowser();
  RectF panel = browserPanel();
  streamBrowser.hitTest(static_cast<float>(x), static_cast<float>(y), panel);
  int row = streamBrowser.hoverRow;
  if (row < 0 || row == pointer.browserHostRow || row >= static_cast<int>(streamBrowser.rows.size())) return;
  pointer.browserHostRow = row;
  if (const StreamEntry* e = streamBrowser.rows[row].entry) streamBrowser.warmHost(*e);
}

bool App::onBrowserWheel(int delta) {
  RectF panel = browserPanel();
  if (!panel.contains(static_cast<float>(pointer.x), static_cast<float>(pointer.y))) return false;
  streamBrowser.scroll += delta > 0 ? -3 : 3;
  if (streamBrowser.scroll < 0) streamBrowser.scroll = 0;
  return true;
}

// Compact view hides the panel: its keys go back to the key table ('0' leaves compact view).
bool App::browserSearchActive() const {
  return view.browserOpen && !input.open && !view.settingsOpen && !view.helpVisible && !view.compact;
}

bool App::browserSearchKey(int key, bool ctrl, bool alt) {
  if (!browserSearchActive()) return false;
  syncBrowser();
  if (ctrl && !alt && key == 'F') {
    streamBrowser.searchFocused = true;
    return true;
  }
  if (key == vk::Escape && streamBrowser.searchShown()) return streamBrowser.clearSearch();
  // Until the search has the keyboard, keys keep their commands; characters without one
  // start it when their text arrives.
  if (!streamBrowser.searchFocused && streamBrowser.composition.empty()) return false;
  if (key == vk::Back) {
    streamBrowser.backspace();
    return true;
  }
  return !ctrl && !alt && isCharacterKey(key);
}

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
