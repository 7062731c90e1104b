vell_add_fuzzer(sami subtitles/SubtitleTrack.cpp platform/TextLines.cpp platform/Text.cpp platform/Files.cpp)
