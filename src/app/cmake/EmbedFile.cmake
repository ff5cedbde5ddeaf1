# cmake -DIN=<file> -DOUT=<file.cpp> -DNAME=<symbol> -P EmbedFile.cmake
# Writes the file's bytes as a C++ array <NAME> and its size <NAME>Size.
file(READ "${IN}" _hex HEX)
string(LENGTH "${_hex}" _len)
math(EXPR _size "${_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" _bytes "${_bytes}")
file(WRITE "${OUT}" "// Written by the build from ${IN}.\nextern const unsigned char ${NAME}[] = {\n${_bytes}0x00};\nextern const unsigned long ${NAME}Size = ${_size};\n")
