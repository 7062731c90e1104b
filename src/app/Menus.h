// The right-click menus' builders, their command ids and presets.
#pragma once
#include <string>
#include <vector>

#include "platform/PopupMenu.h"

namespace vell {

class App;
class Playlist;
struct AudioTrack;
struct Chapter;
struct SubtitleOption;
struct StreamEntry;

// Command ids of the main menu; they reach App::onCommand as WM_COMMAND would.
enum MenuCommand : int {
  kCmdOpenFile = 1001,
  kCmdOpenUrl = 1002,
  kCmdPlayPause = 1004,
  kCmdStop = 1005,
  kCmdPrevious = 1006,
  kCmdNext = 1007,
  kCmdFullscreen = 1008,
  kCmdCompactView = 1009,
  kCmdAlwaysOnTop = 1010,
  kCmdPlaylistPanel = 1011,
  kCmdSpeedFirst = 1012,  // ... 1019
  kCmdRotationFirst = 1020,  // ... 1023
  kCmdFlipH = 1024,
  kCmdFlipV = 1025,
  kCmdPointA = 1026,
  kCmdPointB = 1027,
  kCmdClearAB = 1028,
  kCmdScreenshot = 1029,
  kCmdWindowSizeFirst = 1030,  // ... 1035
  kCmdWheelVolume = 1036,
  kCmdWheelSeek = 1037,
  kCmdWheelStepFirst = 1038,  // ... 1041
  kCmdOpacityFirst = 1042,    // ... 1047
  kCmdAbout = 1049,
  kCmdSubtitleToggle = 1050,
  kCmdSubtitleOpen = 1051,
  kCmdSubtitleEarlier = 1052,
  kCmdSubtitleLater = 1053,
  kCmdSubtitleDelayReset = 1054,
  kCmdSubtitleBigger = 1055,
  kCmdSubtitleSmaller = 1056,
  kCmdRadio = 1057,
  kCmdPodcast = 1058,
  kCmdSyncMinus50 = 1059,
  kCmdSyncMinus10 = 1060,
  kCmdSyncPlus10 = 1061,
  kCmdSyncPlus50 = 1062,
  kCmdSyncReset = 1063,
  kCmdRecentFirst = 8000,  // ... 8014
  kCmdSleepFirst = 8100,   // ... 8108
  kCmdAudioTrackFirst = 8200,  // ... 8263
  kCmdSubtitleTrackFirst = 8400,  // ... 8463
  kCmdSubtitleTrackNone = 8464,
  kCmdSettings = 9098,
  kCmdHelp = 9099,
  kCmdChapterFirst = 20000,  // ... 20999 (kMaxChapters)
};

// Ids of the playlist menu (returned, never posted).
enum PlaylistMenuCommand : int {
  kPlAddUrl = 8001,
  kPlAddFile = 8002,
  kPlNewCategory = 8003,
  kPlPlay = 8010,
  kPlRemove = 8011,
  kPlClear = 8012,
  kPlSave = 8013,
  kPlLoad = 8014,
  kPlUncategorise = 8015,
  kPlCategoryFirst = 8100,  // 8100 + the category record's position
};

// Ids of the stream menu (returned, never posted).
enum StreamMenuCommand : int {
  kStPlay = 9001,
  kStEdit = 9002,
  kStDelete = 9003,
  kStCopyUrl = 9004,
  kStAdd = 9005,
  kStRestore = 9006,
  kStResetAll = 9007,
};

// The presets the main menu lists and its commands apply, by index.
namespace menus {

struct Preset {
  const char* label;
  double value;
};

inline constexpr Preset kSpeeds[] = {{"0.25x", 0.25}, {"0.5x", 0.5},   {"0.75x", 0.75}, {"1.0x (기본)", 1.0},
                              {"1.25x", 1.25}, {"1.5x", 1.5},   {"2.0x", 2.0},   {"3.0x", 3.0}};
inline constexpr const char* kSpeedToasts[] = {"0.25x", "0.5x", "0.75x", "1.0x", "1.25x", "1.5x", "2.0x", "3.0x"};
inline constexpr Preset kWindowSizes[] = {{"25%\t1", 0.25}, {"50%\t2", 0.5},   {"75%\t3", 0.75},
                                   {"100%\t4", 1.0}, {"150%\t5", 1.5}, {"200%\t6", 2.0}};
inline constexpr Preset kWheelSteps[] = {{"1초", 1}, {"3초", 3}, {"5초", 5}, {"10초", 10}};
inline constexpr Preset kOpacities[] = {{"100%", 1.0}, {"90%", 0.9}, {"80%", 0.8}, {"70%", 0.7}, {"60%", 0.6}, {"50%", 0.5}};
inline constexpr int kSleepIds[] = {8100, 8101, 8102, 8103, 8104, 8106, 8107, 8108};
inline constexpr int kSleepMinutes[] = {15, 30, 60, 90, 120, 180, 240, 360};
inline constexpr size_t kMaxRecentItems = 15;
inline constexpr size_t kMaxAudioTrackItems = 64;
// Chapters listed at once: those around the one playing, when a file has more.
inline constexpr int kMaxChapterItems = 100;
inline constexpr size_t kMaxSubtitleTrackItems = 64;

}  // namespace menus

// The menus, built from the state as it is now (labels, ticks, grey items, ids).
std::vector<MenuItem> buildMainMenu(const App& app);
// `row` is the queue index of the item under the cursor, or -1.
std::vector<MenuItem> buildPlaylistMenu(const Playlist& playlist, int row);
// `entry` is the browser's entry under the cursor, or null.
std::vector<MenuItem> buildStreamMenu(const StreamEntry* entry, bool podcastMode);

// An audio track as the user knows it: its title, else its language by name ("한국어",
// "English"; an unknown tag as written), else its codec and channels ("AAC 스테레오").
std::string audioTrackName(const AudioTrack& track);
// Its line in the menu: "1. 한국어 (AAC 스테레오)".
std::string audioTrackLabel(int index, const AudioTrack& track);

// A chapter's line in the menu: "1. Title  0:00" ("1. 챕터 1  0:00" without a title).
std::string chapterLabel(int index, const Chapter& chapter);
// A subtitle track as the user knows it: a stream's title, else its language by name, else its
// codec ("ASS", "PGS"); a file's name.
std::string subtitleTrackName(const SubtitleOption& track);
// Its line in the menu: "1. English (ASS)", "2. 한국어 (PGS, 강제)", "3. film.ko.srt".
std::string subtitleTrackLabel(int index, const SubtitleOption& track);

// Minutes of a sleep-timer id (0 cancels the timer); -1 for any other id.
int sleepTimerMinutes(int id);
// A recent file's label: its display name, cut to 48 characters and ".." past 50.
std::string recentFileLabel(const std::string& path);

}  // namespace vell
