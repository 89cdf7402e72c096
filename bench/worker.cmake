# bench/worker: one Download worker's engine against curl -o, 200 MB from lighttpd.
add_executable(bench_worker src/worker/WorkerBench.cpp src/inet/DownloadBench.cpp src/inet/DownloadBench.h)
target_include_directories(bench_worker PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src/inet)
target_link_libraries(bench_worker PRIVATE torvex_common torvex_crawler_engine torvex_testsupport)
set_target_properties(bench_worker PROPERTIES OUTPUT_NAME worker RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
