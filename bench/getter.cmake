# bench/getter: the Page getter's engine against curl -o, 200 MB from lighttpd.
add_executable(bench_getter src/getter/GetterBench.cpp src/inet/DownloadBench.cpp src/inet/DownloadBench.h)
target_include_directories(bench_getter PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src/inet)
target_link_libraries(bench_getter PRIVATE torvex_common torvex_getter_engine torvex_testsupport)
set_target_properties(bench_getter PROPERTIES OUTPUT_NAME getter RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
