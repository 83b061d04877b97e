# tarnwick_embed_version(<target> MAJOR MINOR PATCH BUILD)
# Puts the version block that the version-information functions of win32/version.h read into
# an executable: the magic "TARNWICK-VERSION" and the four parts as little-endian 16-bit words
# in the ELF section ".tarnwick_version".
function(tarnwick_embed_version target major minor patch build)
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
