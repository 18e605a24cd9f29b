# embed_file.cmake - writes a C++ source that holds a file's bytes as an array.
# Usage: cmake -DINPUT=<file> -DOUTPUT=<source> -DSYMBOL=<name> -P embed_file.cmake
# Defines <name>Data[] (with one NUL after the bytes) and <name>Size.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 row)  # CMake regexes have no {n} counts
string(REGEX REPLACE "(${row})" "\\1\n  " bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${name} by embed_file.cmake; edit ${name} instead.\n"
  "#include <cstddef>\n\n"
  "extern const unsigned char ${SYMBOL}Data[];\n"
  "extern const std::size_t ${SYMBOL}Size;\n\n"
  "const unsigned char ${SYMBOL}Data[] = {\n  ${bytes}0x00};\n"
  "const std::size_t ${SYMBOL}Size = ${size};\n")
# Only a changed source is rebuilt.
configure_file("${OUTPUT}.tmp" "${OUTPUT}" COPYONLY)
file(REMOVE "${OUTPUT}.tmp")
