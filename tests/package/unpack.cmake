# Unpacks the package into an emptied root, as dpkg would install it there.
# cmake -DPACKAGE=file.deb -DROOT=folder -DDPKG_DEB=dpkg-deb -P unpack.cmake
if(NOT EXISTS "${PACKAGE}")
  message(FATAL_ERROR "no package ${PACKAGE}")
endif()
file(REMOVE_RECURSE "${ROOT}")
file(MAKE_DIRECTORY "${ROOT}")
execute_process(COMMAND "${DPKG_DEB}" -x "${PACKAGE}" "${ROOT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -x ${PACKAGE} failed: ${result}")
endif()
