vell_add_fuzzer(catalog_rss catalog/FeedParse.cpp catalog/TextClean.cpp platform/TextLines.cpp
                platform/Text.cpp platform/posix/CodePages.cpp)
