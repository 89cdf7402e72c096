add_torvex_test(tst_crawlerwindow SOURCES window/tst_crawlerwindow.cpp
  LIBS torvex_crawler torvex_crawler_testsupport torvex_shell GUI TIMEOUT 120)
