# Writes a header that holds the bytes of a text file as a constant (cmake -P, at build time).
# In: INPUT (the file), OUTPUT (the header), NAME (the constant's name in qrnv::embedded).
file(READ "${INPUT}" content)
set(delimiter "qrnv_embedded")
string(FIND "${content}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw-string delimiter ${delimiter}")
endif()
file(WRITE "${OUTPUT}.tmp"
  "#pragma once\n// Generated from ${INPUT}; do not edit.\n\n"
  "namespace qrnv::embedded {\n"
  "inline constexpr char ${NAME}[] = R\"${delimiter}(${content})${delimiter}\";\n"
  "} // namespace qrnv::embedded\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
