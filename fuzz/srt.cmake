vell_add_fuzzer(srt subtitles/SubtitleTrack.cpp platform/TextLines.cpp platform/Text.cpp platform/Files.cpp)
