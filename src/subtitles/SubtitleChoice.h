// The subtitle tracks a medium offers (its streams, then files beside it) and which one shows.
#pragma once
#include <string>
#include <vector>

#include "engine/SubtitleSetup.h"
#include "history/PodcastHistory.h"

namespace vell {

// One subtitle track the user can choose: a stream of the medium or a file.
struct SubtitleOption {
  SubtitleStream stream;  // for a stream
  std::string path;       // for a file; empty for a stream
  bool isFile() const { return !path.empty(); }
};

// The subtitle files lying beside a medium, best first: "<base>" with ".srt", ".smi", ".ass",
// ".ssa" or ".vtt" (in that order, any case), then "<base>.<language>.<ext>" (film.ko.srt,
// film.en.ass) with Korean first, then the other languages by name, SRT before the others.
std::vector<std::string> subtitleFilesBeside(const std::string& mediaPath);
// Whether a file is an ASS/SSA script (drawn by libass) rather than plain text.
bool isSubtitleScript(const std::string& path);
// A script as UTF-8, for libass; false when it cannot be read or holds no event.
bool readSubtitleScript(const std::string& path, std::string& script);

// The medium's streams, then the files.
std::vector<SubtitleOption> subtitleOptions(const std::vector<SubtitleStream>& streams,
                                            const std::vector<std::string>& files);
// The track to show first: a file beside the medium wins; else the stream marked default or
// forced, else a Korean one; -1 for none.
int firstSubtitleOption(const std::vector<SubtitleOption>& options);
// The track a remembered pick names (-1 for none); `applies` is false when nothing was picked
// or what was picked is not there any more (the first rule then decides). A file is found by
// its name, or by its path when it was picked elsewhere.
int rememberedSubtitleOption(const std::vector<SubtitleOption>& options, const SubtitlePick& pick, bool& applies);
// The pick that remembers track `index` (-1 for none) of a medium at `mediaPath`.
SubtitlePick subtitlePickOf(const std::vector<SubtitleOption>& options, int index, const std::string& mediaPath);

}  // namespace vell
