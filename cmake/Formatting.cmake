# `format` rewrites the project's C++ sources in the style of .clang-format; `format-check`
# fails, naming each file, when one of them is not in that style (the test `format-check`
# runs the same, so ctest and the test command fail on an unformatted file). The sources are
# found anew each time (FormatSources.cmake), so a new file is covered without a fresh
# configure.
find_program(TARNWICK_CLANG_FORMAT NAMES clang-format)
foreach(mode IN ITEMS format check)
  set(TARNWICK_FORMAT_${mode}_COMMAND
    ${CMAKE_COMMAND} -DMODE=${mode} -DCLANG_FORMAT=${TARNWICK_CLANG_FORMAT}
    -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/FormatSources.cmake)
endforeach()
add_custom_target(format COMMAND ${TARNWICK_FORMAT_format_COMMAND}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} VERBATIM)
add_custom_target(format-check COMMAND ${TARNWICK_FORMAT_check_COMMAND}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} VERBATIM)
