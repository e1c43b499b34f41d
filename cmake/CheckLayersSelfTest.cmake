# The layer check must catch what it is there for: a copy of the sources
# passes, the same copy with one include pointing up fails, naming it, and
# so does a copy whose display room includes a Qt header.
#   cmake -DSOURCE_DIR=<src> -DWORK_DIR=<scratch> -DCHECK=<CheckLayers.cmake> -P CheckLayersSelfTest.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY "${SOURCE_DIR}/" DESTINATION "${WORK_DIR}/src")

execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR}/src -P ${CHECK}
                RESULT_VARIABLE clean_result OUTPUT_QUIET ERROR_VARIABLE clean_error)
if(NOT clean_result EQUAL 0)
  message(FATAL_ERROR "the unchanged copy failed the check:\n${clean_error}")
endif()

# The wire code reaching up into the main window.
file(READ "${WORK_DIR}/src/link/Crc7.cpp" crc7)
file(APPEND "${WORK_DIR}/src/link/Crc7.cpp" "\n#include \"desktop/MainWindowLogic.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR}/src -P ${CHECK}
                RESULT_VARIABLE planted_result OUTPUT_QUIET ERROR_VARIABLE planted_error)
if(planted_result EQUAL 0)
  message(FATAL_ERROR "the check passed a link file that includes desktop/MainWindowLogic.h")
endif()
if(NOT planted_error MATCHES "link/Crc7.cpp: link includes \"desktop/MainWindowLogic.h\"")
  message(FATAL_ERROR "the check failed without naming the planted include:\n${planted_error}")
endif()

# The display room reaching for Qt.
file(WRITE "${WORK_DIR}/src/link/Crc7.cpp" "${crc7}")
file(APPEND "${WORK_DIR}/src/display/GraphCursors.cpp" "\n#include <QString>\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR}/src -P ${CHECK}
                RESULT_VARIABLE qt_result OUTPUT_QUIET ERROR_VARIABLE qt_error)
file(REMOVE_RECURSE "${WORK_DIR}")
if(qt_result EQUAL 0)
  message(FATAL_ERROR "the check passed a display file that includes <QString>")
endif()
if(NOT qt_error MATCHES "display/GraphCursors.cpp: display includes <QString>")
  message(FATAL_ERROR "the check failed without naming the planted Qt include:\n${qt_error}")
endif()
if(qt_error MATCHES "link/Crc7.cpp")
  message(FATAL_ERROR "the restored link file still failed the check:\n${qt_error}")
endif()
