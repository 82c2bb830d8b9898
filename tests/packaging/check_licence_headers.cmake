# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Every source file of the repository names its licence in its first lines (after a #! line), so
# that a file copied out of it still says under which terms. Run with -DSOURCE_DIR=<repository>.
file(GLOB_RECURSE sources LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.sh ${SOURCE_DIR}/*.py ${SOURCE_DIR}/*.cmake
  ${SOURCE_DIR}/CMakeLists.txt)
set(missing)
set(checked 0)
foreach(source ${sources})
  if(source MATCHES "^(build[^/]*|\\.git)/" OR source MATCHES "/corpus/")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} head LIMIT_COUNT 3)
  string(FIND "${head}" "SPDX-License-Identifier: GPL-3.0-or-later" at)
  if(at EQUAL -1)
    list(APPEND missing ${source})
  endif()
  math(EXPR checked "${checked} + 1")
endforeach()
if(missing)
  list(JOIN missing "\n  " shown)
  message(FATAL_ERROR "Without the licence line (SPDX-License-Identifier: GPL-3.0-or-later):\n  ${shown}")
endif()
message(STATUS "${checked} source files name their licence")
