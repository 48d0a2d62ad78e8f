# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the sections of zelphorin-cli's manual page that come from the program itself, in
# help2man's include format: the SYNOPSIS of every command in full (the --help overview
# shortens the long ones) and the EXIT STATUS its --help gives.
#   cmake -DCLI=path/to/zelphorin-cli -DOUTPUT=file.h2m -P cli-sections.cmake
execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${CLI} --help failed: ${status}")
endif()

# roff takes a plain "-" for a hyphen; options want the minus sign.
function(roff text variable)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# The commands are the first words of the lines between "Commands:" and the next blank line.
string(REGEX REPLACE ".*\nCommands:\n" "" commands "${help}")
string(REGEX REPLACE "\n\n.*" "" commands "${commands}")
string(REGEX MATCHALL "(^|\n)  [a-z-]+" commands "${commands}")
set(synopsis "[SYNOPSIS]\n")
foreach(command ${commands})
  string(STRIP "${command}" command)
  execute_process(COMMAND ${CLI} ${command} --help OUTPUT_VARIABLE usage RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT usage MATCHES "^Usage: zelphorin-cli ([^\n]*)")
    message(FATAL_ERROR "${CLI} ${command} --help failed: ${status}")
  endif()
  # "A | B" gives a line of its own to each form, with the options before the command.
  set(usage "${CMAKE_MATCH_1}")
  string(FIND "${usage}" "${command}" at)
  string(SUBSTRING "${usage}" 0 ${at} options)
  string(REPLACE " | " ";" forms "${usage}")
  foreach(form ${forms})
    string(FIND "${form}" "${options}" options_at)
    if(NOT options_at EQUAL 0)
      set(form "${options}${form}")
    endif()
    roff("${form}" line)
    string(APPEND synopsis ".B zelphorin\\-cli\n${line}\n.br\n")
  endforeach()
endforeach()

# The paragraph after "Exit status:", joined into one.
if(NOT help MATCHES "\nExit status: ([^\n]*(\n[^\n]+)*)")
  message(FATAL_ERROR "${CLI} --help names no exit status")
endif()
string(REPLACE "\n" " " exit_status "${CMAKE_MATCH_1}")
roff("${exit_status}" exit_status)

file(WRITE ${OUTPUT} "${synopsis}\n[EXIT STATUS]\n${exit_status}\n")
