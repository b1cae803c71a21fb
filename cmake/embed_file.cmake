# Turns one file into a C++ source holding its bytes. Run as: cmake -DINPUT= -DOUTPUT= -DSYMBOL= -P
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_len)
math(EXPR size "${hex_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Break the one long line into lines of 32 bytes so compilers and editors stay comfortable.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
  "// Generated from ${INPUT}; do not edit.\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const unsigned long ${SYMBOL}_size;\n"
  "alignas(16) const unsigned char ${SYMBOL}[${size} + 1] = {\n${bytes}0};\n"
  "const unsigned long ${SYMBOL}_size = ${size};\n")
