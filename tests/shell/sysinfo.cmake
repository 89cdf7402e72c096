# The information boxes, the Connection check, the Dial-up launcher and the Mail link window.
set(sysinfo_fake_tree ${PROJECT_SOURCE_DIR}/tests/platform/system/FakeTree.cpp
    ${PROJECT_SOURCE_DIR}/tests/platform/system/FakeTree.h)
add_torvex_test(tst_infoboxtexts SOURCES sysinfo/tst_infoboxtexts.cpp ${sysinfo_fake_tree}
  LIBS torvex_shell_engine TIMEOUT 60)
add_torvex_test(tst_connectioncheck SOURCES sysinfo/tst_connectioncheck.cpp ${sysinfo_fake_tree}
  LIBS torvex_shell_engine TIMEOUT 60)
add_torvex_test(tst_dialup SOURCES sysinfo/tst_dialup.cpp ${sysinfo_fake_tree}
  LIBS torvex_shell_engine TIMEOUT 60)
add_torvex_test(tst_sysinfowindows SOURCES sysinfo/tst_sysinfowindows.cpp ${sysinfo_fake_tree}
  LIBS torvex_shell GUI TIMEOUT 60)
