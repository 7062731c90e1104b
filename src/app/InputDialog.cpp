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
// Where a field's text goes inside its box: 6 in; after a resize the URL field sits where the
// move put it, 2 in from the sides and 6 from the top.
RectF fieldPlace(const InputLayout& in, bool nameField, bool moved) {
  auto inside = [](const RectF& b, float l, float t, float r, float bt) {
    return RectF{b.left + l, b.top + t, b.right - r, b.bottom - bt};
  };
  if (nameField) return inside(in.nameBox, 6, 6, 6, 6);
  return moved ? inside(in.urlBox, 2, 6, 2, 4) : inside(in.urlBox, 6, 6, 6, 6);
}
}  // namespace

void App::openInputDialog(bool urlOnly, const std::string& streamId, bool podcast) {
  if (inputOpen) return;
  inputOpen = true;
  inputUrlOnly = urlOnly;
  inputStreamId = streamId;
  inputPodcast = podcast;
  inputMoved = false;
  inputFont = TextFormat::create(kUiFontFamilies, 400, 14, TextAlign::Leading, ParagraphAlign::Center, false);
  auto makeField = [this](bool name) {
    auto f = std::make_unique<InputField>();
    f->native = NativeTextField::create(window, name ? 301 : 302, inputFieldPlace(name), 14, kFieldText, kFieldBack);
    return f;
  };
  nameEdit.reset();
  if (!urlOnly) nameEdit = makeField(true);
  urlEdit = makeField(false);

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
  if (InputField* f = focusedInputField(); f && f->native) f->native->focus();
  uint32_t now = tickCount();
  urlEdit->drawn.touch(now);
  if (nameEdit) nameEdit->drawn.touch(now);
}

RectF App::inputFieldPlace(bool nameField) const {
  int w = 0, h = 0;
  clientSize(w, h);
  return fieldPlace(computeInputLayout(static_cast<float>(w), static_cast<float>(h), !inputUrlOnly), nameField,
                    inputMoved);
}

void App::moveInputFields() {
  if (!inputOpen) return;
  inputMoved = true;
  if (nameEdit && nameEdit->native) {
    RectF place = inputFieldPlace(true);
    if (place.width() > 1) nameEdit->native->move(place);
  }
  if (urlEdit && urlEdit->native) urlEdit->native->move(inputFieldPlace(false));
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
  // The user may have clicked straight into a system edit control.
  if (nameEdit && nameEdit->native && nameEdit->native->focused()) inputFocus = 1;
  if (urlEdit && urlEdit->native && urlEdit->native->focused()) inputFocus = 2;
  return inputFocus == 1 && nameEdit ? nameEdit.get() : urlEdit.get();
}

void App::inputDialogKey(int key, bool ctrl, bool shift) {
  InputField* field = focusedInputField();
  if (!field) return;
  if (key == vk::Tab && nameEdit && field->drawn.edit.composition().empty()) {
    inputFocus = inputFocus == 1 ? 2 : 1;
    InputField* next = inputFocus == 1 ? nameEdit.get() : urlEdit.get();
    if (next->native) next->native->focus();
    return;
  }
  FieldKey k = FieldKey::Ignored;
  if (!field->native)
    k = field->drawn.onKey(key, ctrl, shift);
  else if (key == vk::Return || key == vk::Escape)
    k = key == vk::Return ? FieldKey::Submit : FieldKey::Cancel;
  else
    field->native->focus();  // the window had the keyboard: the next keys go to the field
  switch (k) {
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
  if (field->native) {
    field->native->focus();
    return;
  }
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

// The program's own fields; the system's edit controls draw themselves over their boxes.
void App::drawInputFields(Canvas& c, const UiResources& r, const OverlayState& s, const InputLayout& in) {
  auto one = [&](InputField* f, bool name, bool focused) {
    if (!f || f->native) return;
    RectF place = fieldPlace(in, name, inputMoved);
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
