vell_add_fuzzer(srt subtitles/SubtitleTrack.cpp platform/TextLines.cpp platform/Text.cpp
                platform/posix/CodePages.cpp platform/Files.cpp platform/posix/Files.cpp)
