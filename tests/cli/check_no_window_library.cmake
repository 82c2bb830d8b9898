# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Fails when EXECUTABLE needs Qt Widgets at run time, directly or through another library. Qt Gui is
# allowed: lumasctl draws a run's PDF report with it, on the offscreen platform.
if(NOT EXISTS "${EXECUTABLE}")
  message(FATAL_ERROR "No executable at '${EXECUTABLE}'")
endif()
file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES "${EXECUTABLE}"
  RESOLVED_DEPENDENCIES_VAR resolved
  UNRESOLVED_DEPENDENCIES_VAR unresolved)
set(needed ${resolved} ${unresolved})
list(FILTER needed INCLUDE REGEX "libQt[0-9]*(Core)")
if(NOT needed)
  message(FATAL_ERROR "Qt Core not found among the libraries of ${EXECUTABLE}; the check cannot see its libraries")
endif()
set(window ${resolved} ${unresolved})
list(FILTER window INCLUDE REGEX "libQt[0-9]*Widgets")
if(window)
  message(FATAL_ERROR "${EXECUTABLE} needs window libraries: ${window}")
endif()
message(STATUS "${EXECUTABLE}: without Qt Widgets")
