torvex_add_fuzzer(crawler SOURCES crawler/fuzz_crawler.cpp LIBS torvex_crawler_engine)
