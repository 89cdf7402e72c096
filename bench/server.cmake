# bench/server: wrk against the program's "Http server" window and against lighttpd on the same files.
add_executable(bench_server src/server/ServerBench.cpp)
target_link_libraries(bench_server PRIVATE torvex_common torvex_shell Qt6::Network)
set_target_properties(bench_server PROPERTIES OUTPUT_NAME server RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
