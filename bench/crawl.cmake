# bench/crawl: the Crawler as the user runs it (the frame's menu, the real windows)
# against wget -r and httrack on the same generated sites, served by lighttpd.
add_executable(bench_crawl src/crawl/CrawlBench.cpp)
target_link_libraries(bench_crawl PRIVATE torvex_common torvex_shell torvex_crawler torvex_crawler_testsupport
  torvex_testsupport)
set_target_properties(bench_crawl PROPERTIES OUTPUT_NAME crawl RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
