# Fails when the windows or the custom panels' widgets (panels/, custom/, ui/, app/) take the
# tests' way in to a device's change path (tests/support/ModelChanges.h) or include the
# processor's change-path header (devices/processor/NerexChange.h, whose pieces push values
# through the base path): the compiler keeps them off the change path itself
# (tests/CheckChangeGate.cmake), and what a person does there goes through
# CDevice::ApplyUserChange, which refuses it while the current user lacks the right. Comment
# lines do not count.
# cmake -DSOURCE_DIR=<repository> -P this file (-DROOTS="a;b" checks other folders instead).
if(NOT ROOTS)
  set(ROOTS panels custom ui app)
endif()

set(found "")
foreach(root ${ROOTS})
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${root}/*.h" "${SOURCE_DIR}/${root}/*.cpp")
  foreach(source ${sources})
    file(STRINGS "${source}" lines REGEX "CDeviceTestAccess|ModelChanges\\.h|devices/processor/NerexChange\\.h")
    foreach(line ${lines})
      if(line MATCHES "^[ \t]*//")
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
  message(FATAL_ERROR "A change reaches a device past CDevice::ApplyUserChange:\n  ${text}")
endif()
message(STATUS "Every change a person makes in ${ROOTS} goes through CDevice::ApplyUserChange")
