# Packs one built browser tree of the add-on into a zip with manifest.json at its root, as the
# browsers load it: cmake -DTREE=<folder> -DOUT=<file.zip|file.xpi> -P pack-extension.cmake
if(NOT IS_DIRECTORY "${TREE}" OR NOT EXISTS "${TREE}/manifest.json")
    message(FATAL_ERROR "pack-extension: ${TREE} holds no built add-on")
endif()
file(GLOB_RECURSE files RELATIVE "${TREE}" "${TREE}/*")
list(SORT files)
file(REMOVE "${OUT}.part")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E tar cf "${OUT}.part" --format=zip -- ${files}
    WORKING_DIRECTORY "${TREE}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "pack-extension: cannot write ${OUT}")
endif()
file(RENAME "${OUT}.part" "${OUT}")
