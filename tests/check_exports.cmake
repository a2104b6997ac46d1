# Lists the functions a built library exports and fails unless it is readAndWrite alone.
# On Windows it also checks that the DLL imports nothing but Windows' own DLLs.
if(WINDOWS)
  execute_process(COMMAND ${TOOL} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
  endif()
  # The export table lists "[Ordinal/Name Pointer] Table" rows as "[   0] name".
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]*\\[[ 0-9]+\\][^\n]*\n)*)"
         table "${dump}")
  string(REGEX MATCHALL "\\][ \t]+[^ \t\n]+" rows "${CMAKE_MATCH_1}")
  list(TRANSFORM rows REPLACE "^\\][ \t]+" "")
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  list(TRANSFORM imports REPLACE "DLL Name: " "")
  foreach(dll IN LISTS imports)
    string(TOLOWER "${dll}" dll)
    if(NOT dll MATCHES "^(kernel32|user32|msvcrt|advapi32|shell32|gdi32|ucrtbase|api-ms-win-.*)\\.dll$")
      message(FATAL_ERROR "${LIBRARY} needs ${dll}, which is not part of Windows")
    endif()
  endforeach()
  message(STATUS "imports: ${imports}")
else()
  execute_process(COMMAND ${TOOL} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE dump
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
  endif()
  # Keep code and data symbols; the linker's own markers (_init, _fini, _edata...) are not ours.
  string(REGEX MATCHALL "[0-9a-f]+ [TDBRVWu] [^\n]+" rows "${dump}")
  list(TRANSFORM rows REPLACE "^[0-9a-f]+ [A-Za-z] " "")
  list(FILTER rows EXCLUDE REGEX "^(_init|_fini|_edata|_end|__bss_start)$")
  # A unique symbol ("u") would also keep the library loaded after dlclose.
endif()
if(NOT rows STREQUAL "readAndWrite")
  message(FATAL_ERROR "${LIBRARY} exports [${rows}], expected readAndWrite alone")
endif()
message(STATUS "${LIBRARY} exports readAndWrite alone")
