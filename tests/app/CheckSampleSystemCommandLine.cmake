# orvak-sample-system's command line, run as a user runs it: --help prints the usage on stdout
# and exits 0, an option it does not know is refused with the usage, and neither writes a file;
# a file name writes the sample system there.
# Run with -DTOOL=<the executable> -DWORK=<an empty folder to run in>.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

execute_process(COMMAND "${TOOL}" --help WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^usage: orvak-sample-system OUT.ovd" OR err MATCHES "usage")
  message(FATAL_ERROR "--help gave ${rc}: ${out}${err}")
endif()
foreach(args "--out;x.ovd" "--verbose" "-x" "")
  execute_process(COMMAND "${TOOL}" ${args} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 2 OR NOT err MATCHES "usage: orvak-sample-system")
    message(FATAL_ERROR "'${args}' gave ${rc}: ${out}${err}")
  endif()
endforeach()
file(GLOB made "${WORK}/*")
if(made)
  message(FATAL_ERROR "the refused command lines left ${made}")
endif()

execute_process(COMMAND "${TOOL}" sample.ovd WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS "${WORK}/sample.ovd")
  message(FATAL_ERROR "sample.ovd gave ${rc}: ${out}${err}")
endif()
