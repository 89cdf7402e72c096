add_torvex_test(tst_ftpengine
  SOURCES ftpengine/tst_ftpengine.cpp support/FtpTestTree.cpp support/FtpTestTree.h
  LIBS torvex_ftp_engine TIMEOUT 120)
