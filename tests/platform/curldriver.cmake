add_torvex_test(tst_curldriver SOURCES curldriver/tst_curldriver.cpp LIBS torvex_inet)
