# Writes the bytes of INPUT into OUTPUT as a C++ source that defines SYMBOL
# (an array of unsigned char) and <SYMBOL>Size (its length in bytes, without
# the trailing zero the array carries). Run with cmake -P.
if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT OR NOT DEFINED SYMBOL)
  message(FATAL_ERROR "embed_file.cmake needs -DINPUT=, -DOUTPUT= and -DSYMBOL=")
endif()
file(READ "${INPUT}" hex HEX)
file(SIZE "${INPUT}" size)
# Sixteen bytes per line keep the generated file friendly to tools.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <cstddef>\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const std::size_t ${SYMBOL}Size;\n"
  "const unsigned char ${SYMBOL}[] = {\n${bytes}0};\n"
  "const std::size_t ${SYMBOL}Size = ${size};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
