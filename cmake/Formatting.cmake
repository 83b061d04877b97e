# `format` rewrites the project's C++ sources in the style of .clang-format; `format-check`
# fails, naming each file, when one of them is not in that style (the test command runs it).
# The sources are found anew each time (FormatSources.cmake), so a new file is covered
# without a fresh configure.
find_program(TARNWICK_CLANG_FORMAT NAMES clang-format)
foreach(mode IN ITEMS format check)
  set(target ${mode})
  if(mode STREQUAL "check")
    set(target format-check)
  endif()
  add_custom_target(${target}
    COMMAND ${CMAKE_COMMAND} -DMODE=${mode} -DCLANG_FORMAT=${TARNWICK_CLANG_FORMAT}
            -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/FormatSources.cmake
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    VERBATIM)
endforeach()
