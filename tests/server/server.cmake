add_torvex_test(tst_serverengine
  SOURCES serverengine/tst_serverengine.cpp support/RunningServer.cpp support/RunningServer.h
  LIBS torvex_server_engine TIMEOUT 120)
add_torvex_test(tst_serverwindow
  SOURCES serverwindow/tst_serverwindow.cpp support/RunningServer.cpp support/RunningServer.h
  LIBS torvex_server GUI TIMEOUT 120)
