# Readers of system facts, run on prepared fake trees of /proc, /sys, /dev and /etc.
set(system_fake_tree system/FakeTree.cpp system/FakeTree.h)
add_torvex_test(tst_systemfacts SOURCES system/tst_systemfacts.cpp ${system_fake_tree} LIBS torvex_system TIMEOUT 60)
add_torvex_test(tst_mounteddrives SOURCES system/tst_mounteddrives.cpp ${system_fake_tree} LIBS torvex_system TIMEOUT 60)
add_torvex_test(tst_networklink SOURCES system/tst_networklink.cpp ${system_fake_tree} LIBS torvex_system TIMEOUT 60)
