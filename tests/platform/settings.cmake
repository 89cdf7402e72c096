# The Settings file, the tools' keys and the window-placement store.
add_torvex_test(tst_settingsfile SOURCES tst_settingsfile.cpp LIBS torvex_platform TIMEOUT 120)
add_torvex_test(tst_toolsettings SOURCES tst_toolsettings.cpp LIBS torvex_platform TIMEOUT 60)
add_torvex_test(tst_windowplacementstore SOURCES tst_windowplacementstore.cpp LIBS torvex_platform TIMEOUT 60)
