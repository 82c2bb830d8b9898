# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Runs COMMAND (its arguments separated by "|") and fails unless it exits with 0 and writes nothing
# to standard error; with OUTPUT_IS, standard output must be that line; with OUTPUT_MATCHES, it
# must match that regular expression. With INSTALL_FROM, the build folder named is first installed
# into the folder INSTALL_TO (emptied first). A checker that is not installed (man, appstreamcli,
# desktop-file-validate) makes the test print SKIPPED, which ctest counts as skipped.
string(REPLACE "|" ";" command "${COMMAND}")
list(GET command 0 program)
if(NOT IS_ABSOLUTE "${program}")
  find_program(program_path "${program}")
  if(NOT program_path)
    message("SKIPPED: ${program} is not installed")
    return()
  endif()
endif()

if(DEFINED INSTALL_FROM)
  file(REMOVE_RECURSE "${INSTALL_TO}")
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${INSTALL_FROM}" --prefix "${INSTALL_TO}/usr"
                  OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install into ${INSTALL_TO} failed: ${status}")
  endif()
endif()

execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE ";" " " shown "${command}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${shown} ended with ${status}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(NOT err STREQUAL "")
  message(FATAL_ERROR "${shown} wrote to standard error:\n${err}")
endif()
if(DEFINED OUTPUT_IS AND NOT out STREQUAL "${OUTPUT_IS}\n" AND NOT (OUTPUT_IS STREQUAL "" AND out STREQUAL ""))
  message(FATAL_ERROR "${shown} printed:\n${out}\ninstead of:\n${OUTPUT_IS}")
endif()
if(DEFINED OUTPUT_MATCHES AND NOT out MATCHES "${OUTPUT_MATCHES}")
  message(FATAL_ERROR "${shown} printed:\n${out}\nwhich does not match: ${OUTPUT_MATCHES}")
endif()
