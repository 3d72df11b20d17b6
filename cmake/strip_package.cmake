# Run by cpack before it packs the staged files: strips the programs and the image
# plugins as Debian's package tools do (symbols not needed, and the .comment and .note sections), which a plain
# strip, as CPACK_STRIP_FILES runs it, does not.
if(NOT CPACK_MOXFLIC_STRIP)
  message(FATAL_ERROR "no strip program was found; the package would keep its symbols")
endif()
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*/bin/*"
     "${CPACK_TEMPORARY_DIRECTORY}/*.so")
foreach(program ${programs})
  execute_process(COMMAND "${CPACK_MOXFLIC_STRIP}" --remove-section=.comment --remove-section=.note
    --strip-unneeded "${program}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot strip ${program}")
  endif()
endforeach()
