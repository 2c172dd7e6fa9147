# orvak-devsim's command line, run as a user runs it: --help lists every option on stdout and
# exits 0; a --com number that the program neither offers nor scans (it has COM1 to COM32) is
# refused with a message, before any link is made; 32 passes that check; a number that is no
# number of the range at all gets the usage.
# Run with -DDEVSIM=<the executable> -DWORK=<an empty folder for HOME>.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(ENV{HOME} "${WORK}")
set(ENV{XDG_DATA_HOME} "${WORK}/data")

execute_process(COMMAND "${DEVSIM}" --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "--help exited with ${rc}: ${err}")
endif()
foreach(option --com --baud --unit --reply --scan-unit --processor --secure-unit --zel-amp --zel-break --boot-unit
        --late-unit --silent-unit --swap-unit --ack-loss --zel-state --boot-silent-after)
  string(FIND "${out}" "${option} " at)
  if(at EQUAL -1)
    message(FATAL_ERROR "--help does not list ${option}:\n${out}")
  endif()
endforeach()
if(NOT err STREQUAL "")
  message(FATAL_ERROR "--help wrote to stderr: ${err}")
endif()

# A number that the program neither offers nor scans is refused with that reason; one that would
# wrap round into a port in range, or one with a sign or letters, is no number of the range and
# gets the usage. Neither serves or links anything.
foreach(case "33=--com 33: the program opens COM1 to COM32 only" "36=--com 36: the program opens"
             "4000000000=--com 4000000000: the program opens" "4294967319=usage: orvak-devsim"
             "-3=usage: orvak-devsim" "23x=usage: orvak-devsim")
  string(FIND "${case}" "=" at)
  string(SUBSTRING "${case}" 0 ${at} com)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${case}" ${at} -1 reason)
  execute_process(COMMAND "${DEVSIM}" --com ${com} --unit 1 RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 20)
  if(NOT rc EQUAL 2 OR NOT err MATCHES "${reason}")
    message(FATAL_ERROR "--com ${com} gave ${rc}: ${out}${err}")
  endif()
endforeach()
file(GLOB_RECURSE made "${WORK}/*")
if(made)
  message(FATAL_ERROR "a refused --com left ${made}")
endif()

# COM32 is offered: the number passes, and the unknown boot-unit family is what stops the run.
execute_process(COMMAND "${DEVSIM}" --com 32 --boot-unit nothing:1 RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR err MATCHES "the program opens" OR NOT err MATCHES "usage: orvak-devsim")
  message(FATAL_ERROR "--com 32 gave ${rc}: ${out}${err}")
endif()
