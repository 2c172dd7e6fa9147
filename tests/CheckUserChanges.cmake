# Fails when the windows or the custom panels' widgets (panels/, custom/, ui/, app/) name one of
# the classes a device lets in past its gate (CDeviceTestAccess, the tests' way in,
# tests/support/ModelChanges.h; CNerexChangeAccess, the processor family's own) or the mark of
# the processor family's own code (ORVAK_PROCESSOR_FAMILY), in a source or a CMakeLists.txt.
# The compiler refuses everything else past the gate (tests/CheckChangeGate.cmake), and the
# layer check refuses an include of the tests' headers; a class of one of those names that a
# window declared itself, or the mark it defined, the compiler would take. Comment lines do not
# count.
# cmake -DSOURCE_DIR=<repository> -P this file (-DROOTS="a;b" checks other folders instead).
cmake_policy(SET CMP0007 NEW)
if(NOT ROOTS)
  set(ROOTS panels custom ui app)
endif()

set(found "")
foreach(root ${ROOTS})
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${root}/*.h" "${SOURCE_DIR}/${root}/*.cpp"
       "${SOURCE_DIR}/${root}/CMakeLists.txt")
  foreach(source ${sources})
    file(STRINGS "${source}" lines REGEX "CDeviceTestAccess|CNerexChangeAccess|ORVAK_PROCESSOR_FAMILY")
    foreach(line ${lines})
      if(line MATCHES "^[ \t]*//" OR (source MATCHES "CMakeLists.txt$" AND line MATCHES "^[ \t]*#"))
        continue()
      endif()
      file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
      string(STRIP "${line}" line)
      list(APPEND found "${shown}: ${line}")
    endforeach()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " text)
  message(FATAL_ERROR "A change reaches a device past CUserChangeGate::ApplyUserChange:\n  ${text}")
endif()
message(STATUS "Every change a person makes in ${ROOTS} goes through CUserChangeGate::ApplyUserChange")
