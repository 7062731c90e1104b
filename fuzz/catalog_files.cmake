vell_add_fuzzer(catalog_files catalog/StreamCatalog.cpp catalog/StreamCatalogFile.cpp catalog/TextClean.cpp
                platform/TextLines.cpp platform/Files.cpp platform/posix/Files.cpp platform/Text.cpp
                platform/posix/CodePages.cpp)
