# Writes the normal table source from the data file, one "x y z" entry a line
# in table order. Run as: cmake -DINPUT=<normals.txt> -DOUTPUT=<source> -P this
file(STRINGS "${INPUT}" lines)
list(LENGTH lines count)
if(NOT count EQUAL 162)
  message(FATAL_ERROR "${INPUT}: ${count} entries, the table needs 162")
endif()
set(number "-?[0-9]+\\.[0-9]+")
set(body "")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(NOT line MATCHES "^(${number})[ \t]+(${number})[ \t]+(${number})$")
    message(FATAL_ERROR "${INPUT}: not three numbers: '${line}'")
  endif()
  string(APPEND body "    {${CMAKE_MATCH_1}f, ${CMAKE_MATCH_2}f, ${CMAKE_MATCH_3}f},\n")
endforeach()
file(WRITE "${OUTPUT}.tmp"
"// Generated at build time from runtime/gfx3d/data/normals.txt; do not edit.
#include \"gfx3d/mesh.h\"

const float kNormalTable[kNormalCount][3] = {
${body}};
")
# Only a changed table rebuilds what depends on it.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
