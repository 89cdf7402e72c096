torvex_add_fuzzer(settings SOURCES platform/fuzz_settings.cpp LIBS torvex_platform)
torvex_add_fuzzer(ftplisting SOURCES platform/fuzz_ftplisting.cpp LIBS torvex_inet)
