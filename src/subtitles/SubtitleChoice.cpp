// Which subtitle track a medium shows: the files beside it, its streams, and the user's last pick.
#include "subtitles/SubtitleChoice.h"

#include <climits>

#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/TextLines.h"
#include "subtitles/SubtitleTrack.h"

namespace vell {

namespace {

constexpr const char* kExtensions[] = {".srt", ".smi", ".ass", ".ssa", ".vtt"};

std::string lowerExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : asciiLower(name.substr(dot));
}

// The kind of subtitle file by extension, in preference order; -1 for any other file.
int extensionRank(const std::string& lowerExt) {
  for (int i = 0; i < static_cast<int>(std::size(kExtensions)); ++i)
    if (lowerExt == kExtensions[i]) return i;
  return -1;
}

// How a language part of a subtitle's name ranks: Korean first, then the rest; -1 for what is
// no language part (empty, or more than a short tag such as "ko", "kor" or "pt-BR").
int languageRank(const std::string& tag) {
  std::string low = asciiLower(tag);
  if (low.size() < 2 || low.size() > 8) return -1;
  for (char c : low)
    if (!(c >= 'a' && c <= 'z') && c != '-') return -1;
  for (const char* korean : {"ko", "kor", "ko-kr", "korean", "kr"})
    if (low == korean) return 0;
  return 1;
}

}  // namespace

bool isSubtitleScript(const std::string& path) {
  std::string ext = lowerExtension(displayName(path));
  return ext == ".ass" || ext == ".ssa";
}

bool readSubtitleScript(const std::string& path, std::string& script) {
  script = SubtitleTrack::readTextFile(path);
  return script.find("Dialogue:") != std::string::npos;
}

std::vector<std::string> subtitleFilesBeside(const std::string& mediaPath) {
  std::vector<std::string> out;
  // The extension must belong to the file name: a dot in a folder name is not one.
  size_t dot = mediaPath.rfind('.');
  size_t sep = mediaPath.find_last_of("\\/");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return out;
  const std::string folderPrefix = sep == std::string::npos ? std::string() : mediaPath.substr(0, sep + 1);
  const std::string stem =
      mediaPath.substr(sep == std::string::npos ? 0 : sep + 1, dot - (sep == std::string::npos ? 0 : sep + 1));
  struct Found {
    int rank;  // exact names first by kind, then language parts
    std::string name;
  };
  std::vector<Found> found;
  for (const std::string& name :
       listDirectory(sep == std::string::npos ? std::string(".") : mediaPath.substr(0, sep))) {
    if (name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0 || name[stem.size()] != '.') continue;
    const std::string ext = lowerExtension(name);
    const int kind = extensionRank(ext);
    if (kind < 0) continue;
    const size_t middle = stem.size() + 1, middleEnd = name.size() - ext.size();
    if (middle > middleEnd) {
      found.push_back({kind, name});  // "<stem><ext>"
      continue;
    }
    const int language = languageRank(name.substr(middle, middleEnd - middle));
    if (language < 0) continue;
    found.push_back({100 + language * 10 + kind, name});
  }
  // Names come sorted: the first of a rank stays first.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.rank < b.rank; });
  for (const Found& f : found) out.push_back(folderPrefix + f.name);
  return out;
}

std::vector<SubtitleOption> subtitleOptions(const std::vector<SubtitleStream>& streams,
                                            const std::vector<std::string>& files) {
  std::vector<SubtitleOption> out;
  for (const SubtitleStream& s : streams) out.push_back({s, {}});
  for (const std::string& f : files) out.push_back({{}, f});
  return out;
}

int firstSubtitleOption(const std::vector<SubtitleOption>& options) {
  for (size_t i = 0; i < options.size(); ++i)
    if (options[i].isFile()) return static_cast<int>(i);
  std::vector<SubtitleStream> streams;
  for (const SubtitleOption& o : options)
    if (!o.isFile()) streams.push_back(o.stream);
  return defaultSubtitleStream(streams);  // the streams come first: the same index
}

int rememberedSubtitleOption(const std::vector<SubtitleOption>& options, const SubtitlePick& pick, bool& applies) {
  applies = true;
  switch (pick.kind) {
    case SubtitlePick::None:
      return -1;
    case SubtitlePick::Stream: {
      std::vector<SubtitleStream> streams;
      for (const SubtitleOption& o : options)
        if (!o.isFile()) streams.push_back(o.stream);
      const int i = rememberedSubtitleStream(streams, pick.stream, pick.language);
      if (i >= 0) return i;
      break;
    }
    case SubtitlePick::File: {
      const bool byPath = pick.file.find_first_of("\\/") != std::string::npos;
      for (size_t i = 0; i < options.size(); ++i)
        if (options[i].isFile() && (byPath ? options[i].path == pick.file : displayName(options[i].path) == pick.file))
          return static_cast<int>(i);
      break;
    }
    case SubtitlePick::Unset:
      break;
  }
  applies = false;
  return -1;
}

SubtitlePick subtitlePickOf(const std::vector<SubtitleOption>& options, int index, const std::string& mediaPath) {
  SubtitlePick pick;
  if (index < 0 || index >= static_cast<int>(options.size())) {
    pick.kind = SubtitlePick::None;
    return pick;
  }
  const SubtitleOption& o = options[static_cast<size_t>(index)];
  if (!o.isFile()) {
    pick.kind = SubtitlePick::Stream;
    pick.stream = o.stream.stream;
    pick.language = o.stream.language;
    return pick;
  }
  pick.kind = SubtitlePick::File;
  // Beside the medium its name will do (the folder may move); elsewhere the whole path.
  const bool beside = parentPath(o.path) == parentPath(mediaPath);
  pick.file = beside ? displayName(o.path) : o.path;
  return pick;
}

}  // namespace vell
