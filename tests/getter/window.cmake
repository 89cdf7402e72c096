add_torvex_test(tst_pagegetterwindow SOURCES window/tst_pagegetterwindow.cpp
  LIBS torvex_getter torvex_shell GUI TIMEOUT 120)
