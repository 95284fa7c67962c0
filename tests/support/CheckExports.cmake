# Fails unless the library's dynamic symbol table defines exactly the names in
# EXPECTED (comma-separated): anything else would leak its internals (or the
# linked-in platform code) to whoever loads it.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(names)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^ ]+)$")
    list(APPEND names ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT names)
string(REPLACE "," ";" expected "${EXPECTED}")
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}; expected: ${expected}")
endif()
