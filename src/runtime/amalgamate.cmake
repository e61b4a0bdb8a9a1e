# Writes the runtime as one C file for engines that add files rather than CMake projects:
#   cmake -DSOURCE_DIR=src/runtime -DOUTPUT=out/parlatrix_runtime.c -P amalgamate.cmake
# The sources in order, each internal header (#include "prx_*.h") inlined at its first inclusion
# and dropped after that; #include "parlatrix/runtime.h" stays, so the pair is this file and the
# public header. The platform file comes first: its feature macros must precede every system
# header. Texts are handled whole (never as CMake lists, which would split at each ';').
cmake_minimum_required(VERSION 3.16)
set(included "")
set(all "/* parlatrix_runtime.c: the Parlatrix runtime in one file, generated from src/runtime.
 * Compile it with parlatrix/runtime.h on the include path (C99 or later). */
")
foreach(part prx_platform.c prx_dlg.c runtime.c)
  file(READ "${SOURCE_DIR}/${part}" text)
  while(text MATCHES "#include \"(prx_[a-z_]+\\.h)\"\n")
    set(header ${CMAKE_MATCH_1})
    set(replacement "")
    if(NOT header IN_LIST included)
      list(APPEND included ${header})
      file(READ "${SOURCE_DIR}/${header}" replacement)
      set(replacement "/* ---- ${header} ---- */\n${replacement}")
    endif()
    string(REPLACE "#include \"${header}\"\n" "${replacement}" text "${text}")
  endwhile()
  string(APPEND all "/* ---- ${part} ---- */\n${text}")
endforeach()
file(WRITE "${OUTPUT}.tmp" "${all}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
