# Writes the demo's sample firmware image: a short header, then a fixed pseudo-random body of
# nonzero bytes (CMake strings cannot hold a zero byte). The same SIZE always gives the same
# bytes, on every build machine, with nothing to compile or run.
#   cmake -DOUTPUT=<file> -DSIZE=<bytes> -P make_demo_image.cmake
set(header "DALVORN DEMO FIRMWARE 1.03")
string(LENGTH "${header}" headerLength)
math(EXPR count "${SIZE} - ${headerLength}")
set(state 302633997)
set(body "")
foreach(i RANGE 1 ${count})
  # A plain linear congruential sequence; its upper bits make the bytes 1 to 255.
  math(EXPR state "(${state} * 1103515245 + 12345) & 0x7FFFFFFF")
  math(EXPR byte "(${state} >> 16) % 255 + 1")
  string(ASCII ${byte} char)
  string(APPEND body "${char}")
endforeach()
file(WRITE "${OUTPUT}" "${header}${body}")
