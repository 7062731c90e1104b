// The in-window input dialog: open a URL, add to the playlist, a new playlist category, add
// or edit a stream of the catalogue, and a path when the desktop has no file chooser.
#include "app/InputDialog.h"

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/VirtualKeys.h"
#include "render/OverlayLayout.h"
#include "settings/Settings.h"

namespace vell {

std::string readFieldText(std::string_view text) {
  std::string s = utf8Prefix(text, TextEdit::kMaxCodePoints);
  size_t end = s.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return {};
  size_t begin = s.find_first_not_of(" \t");
  return s.substr(begin, end + 1 - begin);
}

std::string defaultStreamName(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return "사용자 스트림";
  std::string_view rest = url.substr(scheme + 3);
  return std::string(rest.substr(0, rest.find_first_of("/:?")));
}

bool clipboardPrefills(std::string_view text) {
  return contains(text, "http") || contains(text, "rtsp") || contains(text, "rtmp");
}

bool openUrlPodcastFlag(std::string_view url) {
  if (contains(url, ".m3u8") || contains(url, ".pls")) return false;
  return contains(url, ".mp3");
}

namespace {
const Color kFieldText = Color::rgb(0xEBEEF5), kFieldBack = Color::rgb(0x1C1C23);
// Where a field's text goes: 6 in from its box.
RectF fieldPlace(const InputLayout& in, bool nameField) {
  const RectF& b = nameField ? in.nameBox : in.urlBox;
  return RectF{b.left + 6, b.top + 6, b.right - 6, b.bottom - 6};
}
}  // namespace

void App::openInputDialog(bool urlOnly, const std::string& streamId, bool podcast) {
  if (inputOpen) return;
  inputOpen = true;
  inputUrlOnly = urlOnly;
  inputStreamId = streamId;
  inputPodcast = podcast;
  inputFont = TextFormat::create(kUiFontFamilies, 400, 14, TextAlign::Leading, ParagraphAlign::Center, false);
  nameEdit.reset();
  if (!urlOnly) nameEdit = std::make_unique<InputField>();
  urlEdit = std::make_unique<InputField>();

  if (!streamId.empty()) {
    if (const StreamEntry* e = catalog.findById(streamId)) {
      if (nameEdit) nameEdit->setText(e->name);
      urlEdit->setText(e->url);
      urlEdit->selectAll();
    }
    inputFocus = 2;
  } else {
    if (inputPathUse == 0) {
      std::string clip = Window::clipboardText();
      if (clipboardPrefills(clip)) urlEdit->setText(clip);
    }
    inputFocus = urlOnly ? 2 : 1;
  }
  window.startTextInput();
  uint32_t now = tickCount();
  urlEdit->drawn.touch(now);
  if (nameEdit) nameEdit->drawn.touch(now);
}

void App::closeInputDialog() {
  if (!inputOpen) return;
  nameEdit.reset();
  urlEdit.reset();
  inputFont = TextFormat{};
  inputOpen = false;
  inputHover = -1;
  inputStreamId.clear();
  inputPodcast = false;
  inputUrlOnly = true;
  inputPlaylistUse = false;
  inputCategoryUse = false;
  inputPathUse = 0;
  inputFocus = 0;
  inputCaretRect = RectF{};  // the next dialog places the candidates again
  // The stream browser's search keeps its typing, its candidates back beside its box.
  if (browserOpen)
    placeBrowserTextInput();
  else
    window.stopTextInput();
}

void App::submitInputDialog() {
  if (!inputOpen || !urlEdit) return;
  std::string name = nameEdit ? readFieldText(nameEdit->text()) : std::string();
  std::string url = readFieldText(urlEdit->text());
  if (url.empty()) {
    closeInputDialog();
    return;
  }
  if (inputPathUse != 0) {
    int use = inputPathUse;
    closeInputDialog();
    if (use == 1) {
      openPath(url);
    } else if (use == 3) {
      playlist.addFile(url);
      showToast("재생목록에 추가됨", 1000);
    } else {
      SubtitleMessage m = subtitles.openFile(url, settings());
      showToast(m.text, m.durationMs);
    }
    return;
  }
  if (name.empty() && !inputCategoryUse) name = defaultStreamName(url);

  if (!inputStreamId.empty()) {
    const StreamEntry* found = catalog.findById(inputStreamId);
    if (!found) {
      closeInputDialog();
      showToast("스트림을 찾을 수 없음", 1200);
      return;
    }
    StreamEntry copy = *found;
    copy.name = name;
    copy.url = url;
    if (copy.isUser) {
      catalog.deleteUserStream(copy.id);
      catalog.addUserStream(copy);
    } else {
      catalog.editBuiltin(copy.id, copy);
    }
    rebuildBrowserRows();
    closeInputDialog();
    showToast("저장되었습니다", 1200);
    return;
  }
  if (inputCategoryUse) {
    inputCategoryUse = false;
    playlist.addCategory(url);
    closeInputDialog();
    showToast("카테고리 추가: " + url, 1200);
    return;
  }
  if (inputPlaylistUse) {
    inputPlaylistUse = false;
    std::string category = inputCategory;
    closeInputDialog();
    playlist.addStream(url, name, category);
    playlist.visible = true;
    showToast("재생목록에 추가됨", 1000);
    return;
  }
  if (!inputUrlOnly) {
    StreamEntry e;
    e.type = streamTypeForUrl(url, inputPodcast);
    e.id = catalog.newUserId(tickCount());
    e.name = name;
    e.genre = "사용자";
    e.description = "사용자 추가";
    e.url = url;
    catalog.addUserStream(e);
    rebuildBrowserRows();
    closeInputDialog();
    showToast("추가되었습니다", 1200);
    return;
  }
  bool podcast = openUrlPodcastFlag(url);
  closeInputDialog();
  openMedia(url, name, podcast);
}

InputField* App::focusedInputField() {
  return inputFocus == 1 && nameEdit ? nameEdit.get() : urlEdit.get();
}

void App::inputDialogKey(int key, bool ctrl, bool shift) {
  InputField* field = focusedInputField();
  if (!field) return;
  if (key == vk::Tab && nameEdit && field->drawn.edit.composition().empty()) {
    inputFocus = inputFocus == 1 ? 2 : 1;
    return;
  }
  switch (field->drawn.onKey(key, ctrl, shift)) {
    case FieldKey::Submit: submitInputDialog(); return;
    case FieldKey::Cancel: closeInputDialog(); return;
    default: field->drawn.touch(tickCount()); return;
  }
}

void App::inputDialogMouseDown(int x, int y, int clicks, bool shift) {
  int w = 0, h = 0;
  clientSize(w, h);
  InputLayout in = computeInputLayout(static_cast<float>(w), static_cast<float>(h), !inputUrlOnly);
  float fx = static_cast<float>(x), fy = static_cast<float>(y);
  if (in.ok.contains(fx, fy)) {
    submitInputDialog();
    return;
  }
  if (in.cancel.contains(fx, fy) || !in.dialog.contains(fx, fy)) {
    closeInputDialog();
    return;
  }
  bool onName = nameEdit && in.nameBox.contains(fx, fy);
  inputFocus = onName || !urlEdit ? 1 : 2;
  InputField* field = onName ? nameEdit.get() : urlEdit.get();
  if (!field) return;
  if (onName || in.urlBox.contains(fx, fy)) field->drawn.onMouseDown(fx, clicks, shift);
  field->drawn.touch(tickCount());
}

void App::inputDialogMouseMove(int x, int y) {
  int w = 0, h = 0;
  clientSize(w, h);
  InputLayout in = computeInputLayout(static_cast<float>(w), static_cast<float>(h), !inputUrlOnly);
  float fx = static_cast<float>(x), fy = static_cast<float>(y);
  inputHover = in.cancel.contains(fx, fy) ? 0 : in.ok.contains(fx, fy) ? 1 : -1;
  for (InputField* f : {nameEdit.get(), urlEdit.get()})
    if (f && f->drawn.dragging()) f->drawn.onMouseDrag(fx);
}

void App::inputDialogMouseUp() {
  for (InputField* f : {nameEdit.get(), urlEdit.get()})
    if (f) f->drawn.onMouseUp();
}

void App::drawInputFields(Canvas& c, const UiResources& r, const OverlayState& s, const InputLayout& in) {
  auto one = [&](InputField* f, bool name, bool focused) {
    if (!f) return;
    RectF place = fieldPlace(in, name);
    if (place.width() <= 1) return;
    c.fillRect(place, kFieldBack);
    RectF caret =
        f->drawn.draw(c, place, inputFont, kFieldText, r.accent.withOpacity(0.6f), s.tick, focused && windowActive);
    if (focused && (caret.left != inputCaretRect.left || caret.top != inputCaretRect.top)) {
      inputCaretRect = caret;
      window.setTextInputRect(toPixels(caret.left), toPixels(caret.top), 1, toPixels(caret.height()));
    }
  };
  if (!inputFont.valid()) return;
  one(nameEdit.get(), true, inputFocus == 1);
  one(urlEdit.get(), false, inputFocus == 2);
}

}  // namespace vell
