# Shared helpers for the project's own targets: warnings as errors, tests.
include(GoogleTest)

# Sanitizer builds turn ORVAK_WERROR off: their instrumentation makes the optimiser warn about
# code paths that plain builds never see.
option(ORVAK_WERROR "Treat warnings in our own code as errors" ON)

# -Wmismatched-tags: a type declared "class" in one place and "struct" in another. Clang warns
# of it unasked, so the plain build must catch it before the clang fuzz build does.
function(orvak_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wmismatched-tags
    -Wno-missing-field-initializers)
  if(ORVAK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The window libraries (those that link Qt Widgets) parse the same large Qt headers in every
# source, and that parsing is about half of their compile time. One precompiled header of them,
# compiled once by the target orvak_window_headers and reused by every window library, takes
# that share away. A reused header must be compiled with exactly the flags of its users, so every
# window library gets it through this function and none adds compile options of its own to
# the list's headers; the compiler refuses a header that does not fit (-Winvalid-pch, an error
# with ORVAK_WERROR). The header is forced into each source, so a source that forgot an include
# of Qt still compiles here: configure with -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON to see it.
# With ccache, precompiled headers are cached only with sloppiness pch_defines,time_macros
# (scripts/build.sh sets it). <fstream> must be in the header: GCC 12 with -Wmismatched-tags
# stops with an internal error on a source that includes it after the header.
function(orvak_window_headers target)
  if(NOT TARGET orvak_window_headers)
    # The header is compiled for a target of its own, which needs a source of its own.
    set(source ${CMAKE_BINARY_DIR}/orvak_window_headers.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// Carries the window libraries' precompiled header.\n")
    add_library(orvak_window_headers OBJECT ${source})
    set_target_properties(orvak_window_headers PROPERTIES AUTOMOC OFF)
    # What every window library sees: Qt Widgets, and Boost through core.
    target_link_libraries(orvak_window_headers PRIVATE Qt6::Widgets Boost::headers)
    orvak_warnings(orvak_window_headers)
    target_precompile_headers(orvak_window_headers PRIVATE
      <QAction> <QApplication> <QCheckBox> <QComboBox> <QDialog> <QDialogButtonBox>
      <QGridLayout> <QGroupBox> <QHBoxLayout> <QImage> <QKeyEvent> <QLabel> <QLineEdit>
      <QListWidget> <QMenu> <QMessageBox> <QMouseEvent> <QPainter> <QPainterPath> <QPointer>
      <QPushButton> <QScrollBar> <QString> <QTimer> <QToolBar> <QTreeWidget> <QVBoxLayout>
      <QWidget>
      <algorithm> <array> <cmath> <cstdint> <fstream> <functional> <map> <memory> <string> <vector>)
  endif()
  # A window library that does not reach Boost through core gets its settings all the same,
  # so that its flags are the header's.
  target_link_libraries(${target} PRIVATE Boost::headers)
  target_precompile_headers(${target} REUSE_FROM orvak_window_headers)
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
  if("Qt6::Widgets" IN_LIST ARG_LIBS OR "Qt6::Widgets" IN_LIST ARG_PRIVATE_LIBS)
    orvak_window_headers(${name})
  endif()
endfunction()

# How the test programs' own sources are compiled. They were more than half of the build's compile
# time: a test file expands hundreds of assertions and fixtures, and generating that code, not
# the code under test, is where the compiler spends its time. Two settings cut it to less than
# half. Both touch only the test programs' own sources: the libraries under test are compiled
# exactly as the build type says, and what the tests check does not change.
#  - Unity batches: the files of one test program are compiled ORVAK_TEST_UNITY_BATCH at a time
#    as one source (a file added to the program's SOURCES simply joins a batch), so the headers,
#    GoogleTest's templates and the library templates the files share are compiled once per
#    batch instead of once per file. So the files of one program share one scope: a helper in a
#    test file's anonymous namespace needs a name that no other file of the program defines
#    differently (two definitions of one name are a compile error that names both), and a macro
#    of one file's headers (Qt's `forever`, for one) reaches the files after it. A file that
#    cannot share a batch opts out with
#      set_source_files_properties(<file> PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
#    -Wsubobject-linkage is off for them: it warns of a type of an anonymous namespace used in a
#    class of a header, which is what a test file is to its batch; no test file is included
#    anywhere else. The warning is GCC's own (clang stops on an unknown -Wno- option under
#    -Werror), so the flag goes to GCC only.
#  - -Og instead of the build type's -O1/-O2: a test's own code runs for microseconds around the
#    code under test, so optimising it buys nothing, while -Og keeps its variables visible to
#    the debugger. Debug builds keep -O0.
set(ORVAK_TEST_UNITY_BATCH 8 CACHE STRING
  "Test sources compiled together as one unity source (0: a whole test program at once)")

function(orvak_test_sources_settings target)
  set_target_properties(${target} PROPERTIES
    UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${ORVAK_TEST_UNITY_BATCH})
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Og>
    $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
endfunction()

# The test programs' precompiled header: GoogleTest, the Qt headers the tests use most and the
# standard library, compiled once by the target orvak_test_headers with exactly the test sources'
# settings (orvak_test_sources_settings, the warnings, the family define, Qt Widgets and Boost
# through the test main) and reused by every test program. Each unity batch parsed them anew
# before, which was about a third of the tests' compile time. As with the window libraries'
# header (orvak_window_headers), the header is forced into each source: configure with
# -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON to see a test file that forgot an include.
function(orvak_test_headers target)
  if(NOT TARGET orvak_test_headers)
    set(source ${CMAKE_BINARY_DIR}/orvak_test_headers.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// Carries the test programs' precompiled header.\n")
    add_library(orvak_test_headers OBJECT ${source})
    set_target_properties(orvak_test_headers PROPERTIES AUTOMOC OFF)
    target_link_libraries(orvak_test_headers PRIVATE orvak_testmain GTest::gtest GTest::gmock Qt6::Widgets
      Boost::headers)
    target_include_directories(orvak_test_headers PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(orvak_test_headers PRIVATE ORVAK_PROCESSOR_FAMILY)
    orvak_warnings(orvak_test_headers)
    orvak_test_sources_settings(orvak_test_headers)
    set_target_properties(orvak_test_headers PROPERTIES UNITY_BUILD OFF)
    target_precompile_headers(orvak_test_headers PRIVATE
      <gtest/gtest.h>
      <QApplication> <QImage> <QKeyEvent> <QLineEdit> <QPushButton> <QString> <QTemporaryDir> <QTimer>
      <algorithm> <atomic> <cstdint> <cstdlib> <cstring> <filesystem> <fstream> <functional> <map>
      <memory> <set> <string> <thread> <vector>)
  endif()
  target_link_libraries(${target} PRIVATE Boost::headers)
  target_precompile_headers(${target} REUSE_FROM orvak_test_headers)
endfunction()

# orvak_test_programs: every program that a CTest test runs, and nothing else, so that the
# sanitizer builds (scripts/sanitize.sh) build the suite without the benchmarks and tools of a
# full build. orvak_test and the fuzz replays join it; a program run by a test added with
# add_test() joins it through orvak_test_program(<target>) (if it does not, that test fails in
# the sanitizer build as "could not find executable").
add_custom_target(orvak_test_programs)
function(orvak_test_program target)
  add_dependencies(orvak_test_programs ${target})
endfunction()

# orvak_test(name SOURCES ... LIBS ...): a GoogleTest executable whose cases CTest runs one by one,
# each labelled with the executable's name.
function(orvak_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock orvak_testmain)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Tests set up and read a processor as the family's own code does (NerexChange.h).
  target_compile_definitions(${name} PRIVATE ORVAK_PROCESSOR_FAMILY)
  orvak_warnings(${name})
  orvak_test_sources_settings(${name})
  orvak_test_headers(${name})
  orvak_test_program(${name})
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
    target_compile_definitions(${name} PRIVATE ORVAK_PROCESSOR_FAMILY)
    orvak_warnings(${name})
  endif()
endfunction()
