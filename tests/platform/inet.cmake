add_torvex_test(tst_ineterror SOURCES inet/tst_ineterror.cpp LIBS torvex_inet TIMEOUT 60)
add_torvex_test(tst_internetrequest SOURCES inet/tst_internetrequest.cpp LIBS torvex_inet TIMEOUT 120)
add_torvex_test(tst_syncrequest SOURCES inet/tst_syncrequest.cpp LIBS torvex_inet TIMEOUT 60)
add_torvex_test(tst_receivebuffer SOURCES inet/tst_receivebuffer.cpp LIBS torvex_inet TIMEOUT 60)
