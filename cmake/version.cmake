# The version every program and package shows: the project's version, and the short commit
# when the source is a git checkout. Worked out when CMake configures, so a source tarball
# without .git builds too (it then shows the version alone).
set(BOXQUILL_VERSION ${PROJECT_VERSION})
set(BOXQUILL_VERSION_TEXT ${PROJECT_VERSION})
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=7 HEAD
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE BOXQUILL_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE commit_status ERROR_QUIET)
    if(commit_status EQUAL 0 AND BOXQUILL_COMMIT MATCHES "^[0-9a-f]+$")
        set(BOXQUILL_VERSION_TEXT "${PROJECT_VERSION} (${BOXQUILL_COMMIT})")
    endif()
    # A commit or checkout appends to HEAD's log: configure again then, so that the commit
    # shown follows the checkout.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(head_log AND EXISTS ${head_log})
        set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                     ${head_log})
    endif()
endif()
set(BOXQUILL_GENERATED_INCLUDE ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/boxquill_version.h.in
               ${BOXQUILL_GENERATED_INCLUDE}/boxquill_version.h @ONLY)
