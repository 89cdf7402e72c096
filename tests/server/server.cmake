add_torvex_test(tst_serverengine
  SOURCES serverengine/tst_serverengine.cpp support/RunningServer.cpp support/RunningServer.h
  LIBS torvex_server_engine TIMEOUT 120)
add_torvex_test(tst_serverwindow
  SOURCES serverwindow/tst_serverwindow.cpp support/RunningServer.cpp support/RunningServer.h
  LIBS torvex_server GUI TIMEOUT 120)
add_torvex_test(tst_requestmapping SOURCES requestmapping/tst_requestmapping.cpp LIBS torvex_server_engine TIMEOUT 60)
add_torvex_test(tst_listingpage SOURCES listingpage/tst_listingpage.cpp LIBS torvex_server_engine TIMEOUT 60)
add_torvex_test(tst_serverbrowser
  SOURCES serverbrowser/tst_serverbrowser.cpp support/RunningServer.cpp support/RunningServer.h
  LIBS torvex_server_engine Qt6::Gui TIMEOUT 180)
