add_torvex_test(tst_ftpwindow
  SOURCES ftpwindow/tst_ftpwindow.cpp support/FtpTestTree.cpp support/FtpTestTree.h
  LIBS torvex_ftp GUI TIMEOUT 120)
