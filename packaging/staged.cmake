# Run by CPack on the files it has staged, before it packs them, so that the same commit gives the
# same bytes: the files take the release's time, which the installer keeps for each, and the
# installer's script names them in order of name, not in the order the file system lists them.
set(staged ${CPACK_TEMPORARY_INSTALL_DIRECTORY})
file(GLOB files RELATIVE ${staged} ${staged}/*)
list(SORT files) # all in one folder, as the Windows install is
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  list(TRANSFORM files PREPEND ${staged}/ OUTPUT_VARIABLE paths)
  execute_process(COMMAND touch -d @$ENV{SOURCE_DATE_EPOCH} ${paths} COMMAND_ERROR_IS_FATAL ANY)
endif()
set(WANDERLINK_NSIS_FILES "")
set(WANDERLINK_NSIS_DELETE "")
foreach(file ${files})
  string(APPEND WANDERLINK_NSIS_FILES "  File \"\${INST_DIR}/${file}\"\n")
  string(APPEND WANDERLINK_NSIS_DELETE "  Delete \"$INSTDIR\\${file}\"\n")
endforeach()
