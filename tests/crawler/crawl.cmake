add_library(torvex_crawler_testsupport STATIC
  support/SiteGenerator.cpp support/SiteGenerator.h
  support/TestWorkerStarter.cpp support/TestWorkerStarter.h
  support/FaultSite.cpp support/FaultSite.h
  support/TestCrawler.cpp support/TestCrawler.h)
target_include_directories(torvex_crawler_testsupport PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(torvex_crawler_testsupport PUBLIC torvex_testsupport torvex_crawler_engine)

add_torvex_test(tst_crawlengine SOURCES crawl/tst_crawlengine.cpp
  LIBS torvex_crawler_engine torvex_crawler_testsupport TIMEOUT 120)

add_torvex_test(tst_crawlfaults SOURCES crawl/tst_crawlfaults.cpp
  LIBS torvex_crawler_engine torvex_crawler_testsupport TIMEOUT 120)
add_torvex_test(tst_crawlhttpserver SOURCES crawl/tst_crawlhttpserver.cpp
  LIBS torvex_crawler_engine torvex_crawler_testsupport torvex_server_testsupport TIMEOUT 120)
add_torvex_test(tst_crawloffline SOURCES crawl/tst_crawloffline.cpp
  LIBS torvex_crawler_engine torvex_crawler_testsupport GUI TIMEOUT 300)
