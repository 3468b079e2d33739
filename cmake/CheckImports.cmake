# cmake -DOBJDUMP=<objdump> -DBINARY=<exe> [-DREQUIRED=<dll,...>] [-DFORBIDDEN=<dll,...>]
#       [-DALLOWED=<dll,...>] -P CheckImports.cmake
# Fails unless the binary's import table names every REQUIRED DLL, no
# FORBIDDEN one and, when ALLOWED is given, nothing else. An objdump that
# fails or lists no import at all is a failure too: every Windows program
# imports something, so an empty list means the table was not read.
# Lists are separated by commas (or semicolons), matched without regard to case.
cmake_minimum_required(VERSION 3.25)
foreach(list REQUIRED FORBIDDEN ALLOWED)
  string(REPLACE "," ";" ${list} "${${list}}")
  string(TOLOWER "${${list}}" ${list})
endforeach()

if("${OBJDUMP}" STREQUAL "" OR "${BINARY}" STREQUAL "")
  message(FATAL_ERROR "CheckImports.cmake needs OBJDUMP and BINARY")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "cannot read the import table of ${BINARY} with '${OBJDUMP}' (${result}): ${errors}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
set(imports "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  list(APPEND imports "${dll}")
endforeach()
if(NOT imports)
  message(FATAL_ERROR "${OBJDUMP} lists no imported DLL for ${BINARY}")
endif()

foreach(dll IN LISTS REQUIRED)
  if(NOT dll IN_LIST imports)
    message(FATAL_ERROR "${BINARY} does not import ${dll}; it imports: ${imports}")
  endif()
endforeach()
foreach(dll IN LISTS FORBIDDEN)
  if(dll IN_LIST imports)
    message(FATAL_ERROR "${BINARY} imports ${dll}")
  endif()
endforeach()
if(ALLOWED)
  foreach(dll IN LISTS imports)
    if(NOT dll IN_LIST ALLOWED)
      message(FATAL_ERROR "${BINARY} imports ${dll}, which is not among: ${ALLOWED}")
    endif()
  endforeach()
endif()
message(STATUS "${BINARY} imports: ${imports}")
