# Writes OUTPUT, a C++ source that holds the bytes of INPUT as the network
# built into the program (cmake -DINPUT=... -DOUTPUT=... -P embed_network.cmake).
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# 32 bytes a line keeps the file readable and the compiler quick.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time; not to be edited.\n"
  "#include <cstddef>\n\n"
  "alignas(64) extern const unsigned char nnue_embedded[] = {\n${bytes}};\n"
  "extern const std::size_t nnue_embedded_size = ${size};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
