vell_add_fuzzer(history history/PodcastHistory.cpp platform/TextLines.cpp platform/Text.cpp platform/Files.cpp platform/Log.cpp)
