# Shared helpers for the project's own targets: warnings as errors, tests.
include(GoogleTest)

# Sanitizer builds turn ORVAK_WERROR off: their instrumentation makes the optimiser warn about
# code paths that plain builds never see.
option(ORVAK_WERROR "Treat warnings in our own code as errors" ON)

function(orvak_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
    -Wno-missing-field-initializers)
  if(ORVAK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# orvak_library(name SOURCES ... LIBS ... PRIVATE_LIBS ...): a static library of our own code.
# LIBS are what its headers need (users get them too); PRIVATE_LIBS only its sources.
function(orvak_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_LIBS})
  orvak_warnings(${name})
endfunction()

# orvak_test(name SOURCES ... LIBS ...): a GoogleTest executable whose cases CTest runs one by one,
# each labelled with the executable's name.
function(orvak_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock orvak_testmain)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  orvak_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen LABELS ${name}
    DISCOVERY_TIMEOUT 30)
endfunction()

# orvak_benchmark(name SOURCES ... LIBS ...): a Google Benchmark executable (not run by CTest).
function(orvak_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(TARGET benchmark::benchmark)
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    orvak_warnings(${name})
  endif()
endfunction()
