# Compiles tests/compile/WindowChanges.cpp once for each of its cases, with the flags a window's
# source is compiled with: the case that takes the rights gate (CUserChangeGate::ApplyUserChange and
# ApplyUserPropertyChange, and reads what a processor stores) must compile, and every way past
# the gate must be refused by the compiler: the change path, a frame queued for the unit and a
# family's writers for want of access to a protected or private member or base; what a
# processor stores for being written through its read-only views; the processor family's own
# header (NerexChange.h) at its include. Fails naming each case that did otherwise.
# The model's headers need no library's: the repository is the one include folder.
# cmake -DCXX=<compiler> -DSOURCE_DIR=<repository> -P this file
set(probe "${SOURCE_DIR}/tests/compile/WindowChanges.cpp")
set(flags -std=c++20 -fPIC -fsyntax-only -Wall -Wextra -Werror "-I${SOURCE_DIR}")

# Each kind: its cases, the define that goes with every case, and what the compiler must say.
set(access_cases PLAIN_CALL CALL_SPLIT_OVER_LINES BASE_CALL MEMBER_POINTER PROCESSOR_CALL AMPLIFIER_CALL
    BREAKOUT_BOX_CALL ANSWERED_CHANGE KEPT_CHANGE LINK_PASS RECALL_PASS SNAPSHOT_IMAGE SPREAD_OVER_LINKS LINKS_SPREAD
    PROPERTY_ROW PROPERTY_ROW_POINTER PROCESSOR_PROPERTY_ROW AMPLIFIER_PROPERTY_ROW BREAKOUT_BOX_PROPERTY_ROW
    SORNIC_PROPERTY_ROW PANNEX_PROPERTY_ROW PROPERTY_LIST PROCESSOR_PROPERTY_LIST AMPLIFIER_PROPERTY_LIST
    BREAKOUT_BOX_PROPERTY_LIST PROPERTY_LIST_INTERFACE PROPERTY_LIST_HELPER DEVICE_NAME NAME_PASS DEVICE_ID
    AMPLIFIER_PASTE_RECORD BREAKOUT_BOX_PASTE_RECORD SYSTEM_SOLO AMPLIFIER_SOLO BREAKOUT_BOX_SOLO SORNIC_SOLO
    PANNEX_SOLO SOLO_PASS SOLO_TO_OTHER_DEVICES QUEUE_FRAME QUEUE_WRITE_AGAIN PROCESSOR_QUEUE_FRAME LOAD_PRESET_FILE
    NOTIFY_ALL NOTIFY_CHANNEL PROCESSOR_POLL_TURN AMPLIFIER_SEND_ALL BREAKOUT_BOX_SEND_ALL PROCESSOR_ANSWERED_CHANGE AMPLIFIER_ANSWERED_CHANGE
    UNIT_TAKEN_UP ASIDE_CONFIRMED WRITE_COUNTED REPLY_TAKEN PROCESSOR_REPLY_TAKEN AMPLIFIER_REPLY_TAKEN QUEUE_PUSH
    QUEUE_PUT_BACK)
set(access_define "")
set(access_refusal "is (private|protected) within this context|is a (private|protected) member|is an inaccessible base of")
set(access_words "for want of access")
set(read_only_cases CURRENT_SETTINGS GENERAL_SETTINGS TIMED_PRESETS PRESET_MEMORY PRESET_LIST CROSSOVER_PRESET
    DEQ_BAND_MASKS METER_READING)
set(read_only_define -DPROCESSOR_STATE)
set(read_only_refusal "read-only (location|object)|discards qualifiers|invalid initialization of non-const reference")
set(read_only_words "as a write through a read-only view")
set(family_cases CHANNEL_CHANGE RENOTIFY WRITABLE_SETTINGS)
set(family_define -DPROCESSOR_FAMILY_HEADER)
set(family_refusal "NerexChange.h belongs to the processor family")
set(family_words "at the processor family's own header")

set(wrong "")
execute_process(COMMAND "${CXX}" ${flags} -DTAKES_THE_GATE "${probe}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  list(APPEND wrong "TAKES_THE_GATE does not compile:\n${out}")
endif()
set(count 0)
foreach(kind access read_only family)
  foreach(case ${${kind}_cases})
    execute_process(COMMAND "${CXX}" ${flags} ${${kind}_define} -D${case} "${probe}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(rc EQUAL 0)
      list(APPEND wrong "${case} compiles: a window reaches a device past the gate")
    elseif(NOT out MATCHES "${${kind}_refusal}")
      list(APPEND wrong "${case} is not refused ${${kind}_words}:\n${out}")
    endif()
    math(EXPR count "${count} + 1")
  endforeach()
endforeach()
if(wrong)
  list(JOIN wrong "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "The compiler refuses all ${count} ways past the rights gate and takes the gate")
