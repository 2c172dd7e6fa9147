# Compiles tests/compile/WindowChanges.cpp once for each of its cases, with the flags a window's
# source is compiled with: the case that takes the rights gate (CDevice::ApplyUserChange and
# ApplyUserPropertyChange) must compile, and every way past the gate must be refused by the
# compiler for want of access to a protected or private member or base. Fails naming each case
# that did otherwise.
# The model's headers need no library's: the repository is the one include folder.
# cmake -DCXX=<compiler> -DSOURCE_DIR=<repository> -P this file
set(probe "${SOURCE_DIR}/tests/compile/WindowChanges.cpp")
set(flags -std=c++20 -fPIC -fsyntax-only -Wall -Wextra -Werror "-I${SOURCE_DIR}")

set(refused PLAIN_CALL CALL_SPLIT_OVER_LINES BASE_CALL MEMBER_POINTER PROCESSOR_CALL AMPLIFIER_CALL
    BREAKOUT_BOX_CALL ANSWERED_CHANGE KEPT_CHANGE LINK_PASS RECALL_PASS SNAPSHOT_IMAGE SPREAD_OVER_LINKS
    PROPERTY_ROW PROPERTY_ROW_POINTER PROCESSOR_PROPERTY_ROW AMPLIFIER_PROPERTY_ROW BREAKOUT_BOX_PROPERTY_ROW
    SORNIC_PROPERTY_ROW PANNEX_PROPERTY_ROW PROPERTY_LIST PROCESSOR_PROPERTY_LIST AMPLIFIER_PROPERTY_LIST
    BREAKOUT_BOX_PROPERTY_LIST PROPERTY_LIST_INTERFACE PROPERTY_LIST_HELPER DEVICE_NAME NAME_PASS DEVICE_ID
    AMPLIFIER_PASTE_RECORD BREAKOUT_BOX_PASTE_RECORD SYSTEM_SOLO AMPLIFIER_SOLO BREAKOUT_BOX_SOLO SORNIC_SOLO
    PANNEX_SOLO SOLO_PASS SOLO_TO_OTHER_DEVICES)
set(wrong "")
execute_process(COMMAND "${CXX}" ${flags} -DTAKES_THE_GATE "${probe}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  list(APPEND wrong "TAKES_THE_GATE does not compile:\n${out}")
endif()
foreach(case ${refused})
  execute_process(COMMAND "${CXX}" ${flags} -D${case} "${probe}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc EQUAL 0)
    list(APPEND wrong "${case} compiles: a window reaches the change path past the gate")
  elseif(NOT out MATCHES "is (private|protected) within this context|is a (private|protected) member|is an inaccessible base of")
    list(APPEND wrong "${case} fails for another reason than access:\n${out}")
  endif()
endforeach()
if(wrong)
  list(JOIN wrong "\n" text)
  message(FATAL_ERROR "${text}")
endif()
list(LENGTH refused count)
message(STATUS "The compiler refuses all ${count} ways past the rights gate and takes the gate")
