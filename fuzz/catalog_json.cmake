vell_add_fuzzer(catalog_json catalog/FeedParse.cpp catalog/TextClean.cpp platform/TextLines.cpp
                platform/Text.cpp platform/posix/CodePages.cpp)
