# orvak's command line, run as a user runs it: --help and -h print the usage on stdout and end
# with 0; an option it does not know ends with 2 and names the option beside the usage on stderr.
# None of them opens a window or waits. Run with -DTOOL=<the executable> -DWORK=<a folder>.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

foreach(help "--help" "-h")
  execute_process(COMMAND "${TOOL}" ${help} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err TIMEOUT 60)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "^usage: orvak \\[FILE.ovd\\]" OR NOT out MATCHES "-h, --help" OR err MATCHES "usage")
    message(FATAL_ERROR "'${help}' gave ${rc}: ${out}${err}")
  endif()
endforeach()

foreach(option "--foo" "-x.ovd" "-z" "--help=1")
  execute_process(COMMAND "${TOOL}" ${option} show.ovd WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
  if(NOT rc EQUAL 2 OR NOT err MATCHES "orvak: unknown option .${option}.\nusage: orvak" OR out)
    message(FATAL_ERROR "'${option}' gave ${rc}: ${out}${err}")
  endif()
endforeach()
