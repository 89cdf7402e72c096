# The server engine on a thread of its own for tests, here and in the Crawler's.
add_library(torvex_server_testsupport STATIC support/RunningServer.cpp support/RunningServer.h)
target_link_libraries(torvex_server_testsupport PUBLIC torvex_testsupport torvex_server_engine)

add_torvex_test(tst_serverengine
  SOURCES serverengine/tst_serverengine.cpp
  LIBS torvex_server_testsupport TIMEOUT 120)
add_torvex_test(tst_serverwindow
  SOURCES serverwindow/tst_serverwindow.cpp
  LIBS torvex_server torvex_server_testsupport GUI TIMEOUT 120)
add_torvex_test(tst_requestmapping SOURCES requestmapping/tst_requestmapping.cpp LIBS torvex_server_engine TIMEOUT 60)
add_torvex_test(tst_listingpage SOURCES listingpage/tst_listingpage.cpp LIBS torvex_server_engine TIMEOUT 60)
add_torvex_test(tst_serverbrowser
  SOURCES serverbrowser/tst_serverbrowser.cpp
  LIBS torvex_server_testsupport Qt6::Gui TIMEOUT 180)
add_torvex_test(tst_httpprotocol
  SOURCES httpprotocol/tst_httpprotocol.cpp
  LIBS torvex_server_testsupport TIMEOUT 180)
add_torvex_test(tst_serverload
  SOURCES serverload/tst_serverload.cpp
  LIBS torvex_server_testsupport torvex_inet TIMEOUT 180)
