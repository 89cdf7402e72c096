# The Internet client and socket error names and the errno mapping.
add_torvex_test(tst_errornames SOURCES tst_errornames.cpp LIBS torvex_platform TIMEOUT 30)
