vell_add_fuzzer(sami subtitles/SubtitleTrack.cpp platform/TextLines.cpp platform/Text.cpp
                platform/posix/CodePages.cpp platform/Files.cpp platform/posix/Files.cpp)
