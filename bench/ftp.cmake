# bench/ftp: the FTP window, as a user drives it, against curl -o: 50 MB from
# pyftpdlib, in clear text and over TLS.
add_executable(bench_ftp src/ftp/FtpBench.cpp)
target_compile_definitions(bench_ftp PRIVATE TORVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_libraries(bench_ftp PRIVATE torvex_common torvex_ftp torvex_testsupport)
set_target_properties(bench_ftp PROPERTIES OUTPUT_NAME ftp RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
