# The program on an X desktop of its own with the accessibility bus: the captions
# the window manager reads, and what a screen reader reads of every window.
add_torvex_test(tst_captions SOURCES desktop/tst_captions.cpp LIBS Qt6::Widgets Qt6::PrintSupport GUI TIMEOUT 120)
add_dependencies(tst_captions torvex)
add_torvex_test(tst_accessibilitywalk SOURCES desktop/tst_accessibilitywalk.cpp LIBS torvex_shell TIMEOUT 180)
