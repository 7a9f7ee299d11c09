# SPDX-License-Identifier: Apache-2.0
# Fills in a manual page from its source: @VERSION@, and, given the batch
# program, @TESTS@ and @ACTIONS@ as roff entries from "quorlin-batch --list"
# (code, name, caption).
# Writes OUT, and OUT.gz too when GZIP names the gzip program.
#   cmake -DIN=page.1.in -DOUT=page.1 -DVERSION=3.4 [-DBATCH=quorlin-batch]
#         [-DGZIP=gzip] -P GenerateManPage.cmake
cmake_minimum_required(VERSION 3.22)
file(READ "${IN}" page)
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")

if(BATCH)
  execute_process(COMMAND "${BATCH}" --list OUTPUT_VARIABLE list RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${BATCH} --list failed")
  endif()
  string(REPLACE ";" "\\;" list "${list}")
  string(REPLACE "\n" ";" lines "${list}")
  set(section "")
  set(TESTS "")
  set(ACTIONS "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^Line tests:")
      set(section TESTS)
    elseif(line MATCHES "^Change actions:")
      set(section ACTIONS)
    elseif(section AND line MATCHES "^ *([0-9]+)  ([a-z-]+) +(.*)$")
      set(code "${CMAKE_MATCH_1}")
      set(name "${CMAKE_MATCH_2}")
      string(STRIP "${CMAKE_MATCH_3}" caption)
      # Roff: a backslash is written \e; a line must not start with . or '.
      string(REPLACE "\\" "\\e" caption "${caption}")
      if(caption MATCHES "^[.']")
        set(caption "\\&${caption}")
      endif()
      string(APPEND ${section} ".TP 4\n.B ${code} ${name}\n${caption}\n")
    endif()
  endforeach()
  if(TESTS STREQUAL "" OR ACTIONS STREQUAL "")
    message(FATAL_ERROR "${BATCH} --list printed no tests or no actions")
  endif()
  string(REPLACE "@TESTS@\n" "${TESTS}" page "${page}")
  string(REPLACE "@ACTIONS@\n" "${ACTIONS}" page "${page}")
endif()

file(WRITE "${OUT}" "${page}")
if(GZIP)
  # -n: no name or time stamp inside, so the same page gives the same bytes.
  execute_process(COMMAND "${GZIP}" -9n -c "${OUT}" OUTPUT_FILE "${OUT}.gz" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${OUT} failed")
  endif()
endif()
