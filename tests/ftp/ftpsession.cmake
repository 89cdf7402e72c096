add_torvex_test(tst_ftpsession
  SOURCES ftpsession/tst_ftpsession.cpp support/FtpTestTree.cpp support/FtpTestTree.h
  LIBS torvex_inet TIMEOUT 120)
