# Fails when a source includes a header of a folder above its own in the layer order below, in
# quotes or in angle brackets. A folder may include its own headers, those of the folders on its
# own line (they are one layer) and those of every line above it. Tests, tools and benchmarks
# stand outside the order.
# The model knows nothing of the comms worker, and the device families and the custom widgets
# reach the system only through the host interfaces they are given: core/comms lies above
# core/model, and core/system (CSystem) above devices/ and custom/.
# cmake -DSOURCE_DIR=<repository> -P this file
# (-DAPP_AT_THE_BOTTOM=ON puts app/ first, so that the check must find its includes upward;
# SOURCE_DIR may also be a small tree made to hold one wrong include.)
set(layers
  "platform"
  "resources|resources/artgen"
  "core/support|core/values|core/file"
  "core/draw"
  "core/protocol"
  "core/model"
  "core/comms"
  "devices/processor|devices/amplifier"
  "custom"
  "core/system"
  "widgets"
  "panels/framework|panels/processor/response"
  "panels/processor|panels/amplifier"
  "panels"
  "ui|ui/dialogs|ui/images|ui/loader"
  "app")
if(APP_AT_THE_BOTTOM)
  list(REMOVE_ITEM layers "app")
  list(INSERT layers 0 "app")
endif()

# The layer of each folder, by its index in the order.
set(index 0)
set(known "")
foreach(line ${layers})
  string(REPLACE "|" ";" folders "${line}")
  foreach(folder ${folders})
    set(layerOf_${folder} ${index})
    list(APPEND known ${folder})
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()

# The first folders of the project's paths: an include in angle brackets that starts with one
# of them names a project header as surely as one in quotes (the project's root is on every
# target's include path), and <vector> or <sys/ioctl.h> names none.
set(projectTops "")
foreach(folder ${known})
  string(REGEX REPLACE "/.*$" "" top "${folder}")
  list(APPEND projectTops "${top}")
endforeach()
file(GLOB topEntries LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(top ${topEntries})
  if(IS_DIRECTORY "${SOURCE_DIR}/${top}")
    list(APPEND projectTops "${top}")
  endif()
endforeach()
list(REMOVE_DUPLICATES projectTops)

set(found "")
set(unplaced "")
foreach(folder ${known})
  file(GLOB sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"<]*[\"<]([^\">]+)[\">].*$" "\\1" name "${line}")
      if(line MATCHES "^[^\"<]*<")
        string(REGEX REPLACE "/.*$" "" top "${name}")
        list(FIND projectTops "${top}" at)
        if(NOT name MATCHES "/" OR at EQUAL -1)
          continue()
        endif()
      endif()
      get_filename_component(target "${name}" DIRECTORY)
      if(target STREQUAL "" OR target STREQUAL folder)
        continue()
      endif()
      file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
      if(NOT DEFINED layerOf_${target})
        list(APPEND unplaced "${shown}: ${name}")
      elseif(layerOf_${target} GREATER layerOf_${folder})
        list(APPEND found "${shown}: ${name}")
      endif()
    endforeach()
  endforeach()
endforeach()

# Every folder holding sources of the program has its place in the order.
file(GLOB tops LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(top ${tops})
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${top}" OR top MATCHES "^(tests|tools|benchmarks|build.*|\\..*)$")
    continue()
  endif()
  file(GLOB_RECURSE all RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${top}/*.cpp" "${SOURCE_DIR}/${top}/*.h")
  foreach(source ${all})
    get_filename_component(folder "${source}" DIRECTORY)
    if(NOT DEFINED layerOf_${folder})
      list(APPEND unplaced "${source}: its folder has no layer")
    endif()
  endforeach()
endforeach()

if(found OR unplaced)
  set(text "")
  if(found)
    list(JOIN found "\n  " lines)
    string(APPEND text "Includes against the layer order:\n  ${lines}\n")
  endif()
  if(unplaced)
    list(JOIN unplaced "\n  " lines)
    string(APPEND text "Folders outside the order:\n  ${lines}\n")
  endif()
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "Every include follows the layer order")
