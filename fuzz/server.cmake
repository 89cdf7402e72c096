torvex_add_fuzzer(server SOURCES server/fuzz_server.cpp LIBS torvex_server_engine)
