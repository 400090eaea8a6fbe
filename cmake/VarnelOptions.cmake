# One options target for the whole build: warnings, Qt defines, sanitizers.
add_library(varnel_options INTERFACE)
target_compile_options(varnel_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_compile_definitions(varnel_options INTERFACE QT_NO_KEYWORDS QT_NO_FOREACH
                           QT_DISABLE_DEPRECATED_BEFORE=0x060400)
if(VARNEL_SANITIZE)
  target_compile_options(varnel_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                         -fno-sanitize-recover=all)
  target_link_options(varnel_options INTERFACE -fsanitize=address,undefined)
endif()

# Logic targets keep bytes as bytes: no silent conversion between QByteArray and QString.
add_library(varnel_logic_options INTERFACE)
target_link_libraries(varnel_logic_options INTERFACE varnel_options)
target_compile_definitions(varnel_logic_options INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                           QT_NO_CAST_FROM_BYTEARRAY)

# varnel_add_test(NAME LABEL <label> SOURCES ... LIBS ... [QT])
# Registers one test executable with CTest. QT tests run on the offscreen platform.
function(varnel_add_test name)
  cmake_parse_arguments(T "QT" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE varnel_options ${T_LIBS})
  if(T_QT)
    target_link_libraries(${name} PRIVATE Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;DBUS_SESSION_BUS_ADDRESS=disabled:")
  # Leaks are checked in the logic tests; the window tests share Qt's process-wide caches (fonts,
  # icons) that live until exit by design.
  if(T_QT)
    set(leaks 0)
  else()
    set(leaks 1)
  endif()
  list(APPEND env "ASAN_OPTIONS=detect_leaks=${leaks}:abort_on_error=0"
       "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
