# Read by CPack for each package it makes: the installer's name says what it is, beside the zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
  string(APPEND CPACK_PACKAGE_FILE_NAME -setup)
endif()
