# Fails when a file of the model reads the comms stack (a header of core/comms/) without talking
# to the port: a header outside core/comms that includes one (every reader of that header would
# read the whole stack), or a source that includes one and is not among the sources that talk to
# the worker (TALKERS, paths below SOURCE_DIR).
# cmake -DSOURCE_DIR=<repository> -DTALKERS="a.cpp;b.cpp" -P this file
# (-DROOTS="a;b" checks other folders of the repository instead).
if(NOT ROOTS)
  set(ROOTS platform resources core devices custom panels/processor/response)
endif()

set(found "")
foreach(root ${ROOTS})
  file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${root}/*.h" "${SOURCE_DIR}/${root}/*.cpp")
  foreach(source ${sources})
    if(source MATCHES "^core/comms/")
      continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]core/comms/")
    if(NOT includes)
      continue()
    endif()
    if(source MATCHES "\\.h$")
      list(APPEND found "${source}: a header that includes the comms stack")
    else()
      list(FIND TALKERS "${source}" talks)
      if(talks EQUAL -1)
        list(APPEND found "${source}: includes the comms stack but is not one of the files that talk to the port")
      endif()
    endif()
  endforeach()
endforeach()

if(found)
  list(JOIN found "\n  " text)
  message(FATAL_ERROR "The comms stack is read outside the files that talk to the port:\n  ${text}")
endif()
