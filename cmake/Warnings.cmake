# Warnings that every target of the project builds with.
add_library(tarnwick_warnings INTERFACE)
target_compile_options(tarnwick_warnings INTERFACE
  -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<CONFIG:Debug>:-Werror>)
add_library(Tarnwick::warnings ALIAS tarnwick_warnings)
