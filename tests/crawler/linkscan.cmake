add_torvex_test(tst_linkscan SOURCES linkscan/tst_linkscan.cpp LIBS torvex_crawler_engine TIMEOUT 60)
add_torvex_test(tst_localfiles SOURCES linkscan/tst_localfiles.cpp LIBS torvex_crawler_engine TIMEOUT 60)
