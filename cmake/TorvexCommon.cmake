# Compile settings shared by every target of the project.
add_library(torvex_common INTERFACE)
target_compile_features(torvex_common INTERFACE cxx_std_20)
target_compile_options(torvex_common INTERFACE -Wall -Wextra)
target_compile_definitions(torvex_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_USE_QSTRINGBUILDER
  QT_NO_FOREACH)
if(TORVEX_SANITIZE)
  target_compile_options(torvex_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(torvex_common INTERFACE -fsanitize=address,undefined)
endif()

# add_torvex_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [LABELS <labels...>] [TIMEOUT <s>])
# One Qt Test executable per test class; GUI tests run on the offscreen platform.
function(add_torvex_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE torvex_common torvex_testsupport Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set(env "TORVEX_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "TORVEX_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(TORVEX_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1" "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

# torvex_add_module(<name> [ENGINE_LIBS <targets...>] [UI_LIBS <targets...>])
# A tool module builds two static libraries: torvex_<name>_engine from the sources
# directly in src/<name> (QtCore only, never widgets) and torvex_<name> from the
# sources in src/<name>/ui (the windows), which links the engine and what all
# windows share (torvex_widgets).
function(torvex_add_module name)
  cmake_parse_arguments(M "" "" "ENGINE_LIBS;UI_LIBS" ${ARGN})
  file(GLOB engine_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  file(GLOB ui_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.qrc)
  if(engine_sources)
    add_library(torvex_${name}_engine STATIC ${engine_sources})
    target_include_directories(torvex_${name}_engine PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(torvex_${name}_engine PUBLIC torvex_common Qt6::Core ${M_ENGINE_LIBS})
  endif()
  if(ui_sources)
    add_library(torvex_${name} STATIC ${ui_sources})
    target_include_directories(torvex_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(torvex_${name} PUBLIC torvex_common Qt6::Widgets torvex_widgets ${M_UI_LIBS})
    if(TARGET torvex_${name}_engine)
      target_link_libraries(torvex_${name} PUBLIC torvex_${name}_engine)
    endif()
  endif()
endfunction()

# In a fuzzing build every library carries the coverage instrumentation that
# guides libFuzzer, and the sanitizers that turn a fault into a finding.
if(TORVEX_FUZZ)
  target_compile_options(torvex_common INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(torvex_common INTERFACE -fsanitize=address,undefined)
endif()
