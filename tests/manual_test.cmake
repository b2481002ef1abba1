# Every flag that `loopwright --help` lists is an entry of the manual page as groff shows it, the
# page names the help where it is installed, and groff reads the page without a warning:
#   cmake -DLW_PROGRAM=<loopwright> -DLW_MANUAL=<loopwright.1> -DLW_DATADIR=<datadir>
#         -P manual_test.cmake

execute_process(COMMAND ${LW_PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "loopwright --help ended with ${status}")
endif()
execute_process(COMMAND groff -k -man -Tutf8 -ww -P-cbou ${LW_MANUAL}
                OUTPUT_VARIABLE page ERROR_VARIABLE warnings RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "groff on ${LW_MANUAL} (${status}):\n${warnings}")
endif()
# groff may show the minus sign as U+2212; the reader types it as '-'.
string(REPLACE "−" "-" page "\n${page}")

string(REGEX MATCHALL "\n  -[-a-z]+" flags "\n${help}")
list(LENGTH flags count)
if(count LESS 20)
  message(FATAL_ERROR "only ${count} flags found in --help:\n${help}")
endif()
set(missing "")
foreach(flag IN LISTS flags)
  string(STRIP "${flag}" flag)
  if(NOT page MATCHES "\n +${flag}([ [=\n])")
    list(APPEND missing ${flag})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "flags of --help missing from the manual page: ${missing}\n${page}")
endif()
string(FIND "${page}" "${LW_DATADIR}/loopwright/aide/loopwright.html" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the manual page does not name ${LW_DATADIR}/loopwright/aide:\n${page}")
endif()
