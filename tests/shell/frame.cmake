# The Toolbox frame, its launcher and the program itself.
add_library(torvex_shell_testtool STATIC support/TestTool.cpp support/TestTool.h)
target_link_libraries(torvex_shell_testtool PUBLIC torvex_common torvex_platform Qt6::Widgets)

add_torvex_test(tst_toolboxframe SOURCES frame/tst_toolboxframe.cpp
  LIBS torvex_shell torvex_shell_testtool GUI TIMEOUT 60)
add_torvex_test(tst_toollauncher SOURCES launcher/tst_toollauncher.cpp
  LIBS torvex_shell torvex_shell_testtool GUI TIMEOUT 60)
add_torvex_test(tst_torvexbinary SOURCES binary/tst_torvexbinary.cpp LIBS Qt6::Core TIMEOUT 60)
add_dependencies(tst_torvexbinary torvex)
