# Writes the window's icon for X11 as C++ source: the data of the _NET_WM_ICON property, each
# image its width and height, then its pixels as ARGB, row by row.
#   cmake -DPNGTOPAM=pngtopam -DICONS=FOLDER -DSIZES="16;32" -DOUTPUT=window_icon.cpp -P window-icon.cmake
# reads FOLDER/SIZE.png for each size.
cmake_minimum_required(VERSION 3.25) # this script's policies, as the project's
set(data "")
set(length 0)
foreach(size ${SIZES})
  set(pam ${OUTPUT}.${size}.pam)
  execute_process(COMMAND ${PNGTOPAM} -alphapam ${ICONS}/${size}.png OUTPUT_FILE ${pam}
                  RESULT_VARIABLE failed)
  file(READ ${pam} header LIMIT 80)
  set(expected "WIDTH ${size}\nHEIGHT ${size}\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n")
  string(FIND "${header}" "${expected}" at)
  if(failed OR NOT at EQUAL 3) # after "P7\n"
    message(FATAL_ERROR "${ICONS}/${size}.png is not a ${size} x ${size} RGBA image")
  endif()
  string(LENGTH "P7\n${expected}" offset)
  file(READ ${pam} pixels OFFSET ${offset} HEX)
  file(REMOVE ${pam})
  # RGBA bytes to 0xAARRGGBB.
  string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\1\\2\\3," pixels "${pixels}")
  string(APPEND data "    ${size}, ${size},\n    ${pixels}\n")
  math(EXPR length "${length} + 2 + ${size} * ${size}")
endforeach()
file(WRITE ${OUTPUT} "// Made at build time from the project's icon; see cmake/window-icon.cmake.
extern const unsigned long windowIcon[] = {
${data}};
extern const int windowIconLength = ${length};
")
