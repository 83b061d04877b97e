# tarnwick_embed_version(<target> [MAJOR MINOR PATCH BUILD])
# Puts the version block that the version-information functions of win32/version.h read into
# an executable: the magic "TARNWICK-VERSION" and the four parts as little-endian 16-bit words
# in the ELF section ".tarnwick_version". Without parts it is the project's version, the one
# project(VERSION ...) gives.
function(tarnwick_embed_version target)
  if(ARGC EQUAL 1)
    set(major ${PROJECT_VERSION_MAJOR})
    set(minor ${PROJECT_VERSION_MINOR})
    set(patch ${PROJECT_VERSION_PATCH})
    set(build ${PROJECT_VERSION_TWEAK})
  elseif(ARGC EQUAL 5)
    set(major ${ARGV1})
    set(minor ${ARGV2})
    set(patch ${ARGV3})
    set(build ${ARGV4})
  else()
    message(FATAL_ERROR "tarnwick_embed_version(${ARGV}): give a target, or a target and four parts")
  endif()
  set(words "")
  foreach(part IN ITEMS ${major} ${minor} ${patch} ${build})
    math(EXPR low "${part} % 256")
    math(EXPR high "(${part} / 256) % 256")
    string(APPEND words ", ${low}, ${high}")
  endforeach()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT
"// Generated: the version block of ${target} (${major}.${minor}.${patch}.${build}).
extern \"C\" __attribute__((section(\".tarnwick_version\"), used, aligned(4)))
const unsigned char tarnwick_version_block[24] = {
    'T', 'A', 'R', 'N', 'W', 'I', 'C', 'K', '-', 'V', 'E', 'R', 'S', 'I', 'O', 'N'${words}};
")
  target_sources(${target} PRIVATE ${source})
endfunction()
