# Writes the header of named string ids (cmake -P script). In: IN (en.txt), OUT (the header).
#
# The names are given, not derived: in en.txt a comment line "#name kSomeName" stands right
# above the text it names, and the header gets `inline constexpr uint32_t kSomeName = <number>`
# in namespace res::ids. The loader skips comment lines, so the tables stay as they were.
# Given names read better than ones made from the words of a message, and they stay put when
# an English text is reworded. Every text must have a name, each name is used once, and a
# name must be followed directly by its text; anything else stops the build.
# Only names and numbers go into the header, so rewording a text rebuilds nothing but the
# tables.
cmake_minimum_required(VERSION 3.25)
file(READ "${IN}" content)
# one list element per line; the texts are not needed, so list-special characters can go
foreach(special ";" "[" "]" "\\" "\r")
  string(REPLACE "${special}" " " content "${content}")
endforeach()
string(REPLACE "\n" ";" lines "${content}")

set(body "")
set(names "")
set(pending "")
set(line_no 0)
foreach(line IN LISTS lines)
  math(EXPR line_no "${line_no} + 1")
  if(line MATCHES "^#name (.*)$")
    string(STRIP "${CMAKE_MATCH_1}" name)
    if(NOT pending STREQUAL "")
      message(FATAL_ERROR "${IN}:${line_no}: the name ${pending} is followed by no text")
    endif()
    if(NOT name MATCHES "^k[A-Z0-9][A-Za-z0-9]*$")
      message(FATAL_ERROR "${IN}:${line_no}: \"${name}\" is not a name of the form kSomeName")
    endif()
    if(name IN_LIST names)
      message(FATAL_ERROR "${IN}:${line_no}: the name ${name} is given twice")
    endif()
    list(APPEND names "${name}")
    set(pending "${name}")
  elseif(line MATCHES "^([0-9]+)\t")
    if(pending STREQUAL "")
      message(FATAL_ERROR "${IN}:${line_no}: string ${CMAKE_MATCH_1} has no \"#name\" line above it")
    endif()
    string(APPEND body "inline constexpr uint32_t ${pending} = ${CMAKE_MATCH_1};\n")
    set(pending "")
  elseif(NOT pending STREQUAL "")
    message(FATAL_ERROR "${IN}:${line_no}: the name ${pending} is followed by no text")
  endif()
endforeach()
if(NOT pending STREQUAL "")
  message(FATAL_ERROR "${IN}: the name ${pending} at the end is followed by no text")
endif()

file(WRITE "${OUT}.tmp"
  "// Generated from app/res/strings/en.txt by app/res/string_ids.cmake; do not edit.\n"
  "// The numbers of the program's texts under the names given in en.txt.\n"
  "#pragma once\n\n#include <cstdint>\n\nnamespace res::ids\n{\n${body}} // namespace res::ids\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
