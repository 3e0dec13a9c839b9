# cmake -DCPACK=... -DCONFIG=.../CPackConfig.cmake -DOUT=dir -P BuildPackage.cmake
# Writes the Debian package of the build tree into OUT, emptied first so that the tests
# never read a package an earlier build left there.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} --config ${CONFIG} -G DEB -B ${OUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cpack failed (${status})")
endif()
