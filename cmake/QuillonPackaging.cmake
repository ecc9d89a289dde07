# The installable package: `cmake --build <build> --target package` makes a
# Debian package (CPack) of the program as a user runs it.
#
# Layout: the program, Crypt and every library they load live together in
# /usr/lib/quillon, because the program loads libraries by name from its own
# folder (the real path of /proc/self/exe) and finds the linked ones through
# RUNPATH $ORIGIN. /usr/bin/vexaload and /usr/bin/Crypt are links into that
# folder. A udev rule opens the maker's USB radios to the user and links USB
# serial adapters into the COM map; a desktop entry, its icons and the
# AppStream data make the program startable from the desktop's menu and known
# to software centres.
#
# USB radios go through the driver library built over libusb. The stand-in of
# the driver library (outside/quor_pst), which serves simulated radios to the
# demo, the tests and the benchmarks, is never installed.

include(GNUInstallDirs)

# A private folder of the program, the same on every architecture.
set(QUILLON_INSTALL_DIR lib/quillon)
# Installed files find their libraries beside themselves. The programs also
# look in the installed folder as seen from /usr/bin: started through the
# links there by the dynamic loader itself (as ldd does), $ORIGIN is the
# folder of the link, not of the program.
set(quillon_install_rpath "$ORIGIN")
set(quillon_program_rpath "$ORIGIN:$ORIGIN/../${QUILLON_INSTALL_DIR}")

# What the installed program needs at run time, and why:
# - vexaload and Crypt, the two programs;
# - libquillon_platform.so, linked by everything;
# - libpellwick.so, libambrel.so, linked by the program; libKovrin.so and
#   libgantrel.so, loaded by name;
# - liblumbrapack.so (flashpack library) and libRalix_DLL.so (smartphone
#   terminal library), linked by the program's engine: without them it does
#   not start;
# - libWRTdev.so (the parallel-port driver over Linux ppdev), linked by
#   libgantrel.so.
# The GPS-chip target programs are compiled into libambrel.so; the copies
# beside it in the build are for looking at, and are not installed.
set(quillon_installed_programs vexaload Crypt)
set(quillon_installed_libraries
    platform pellwick ambrel Kovrin gantrel lumbrapack Ralix_DLL WRTdev)

foreach(target ${quillon_installed_programs})
  if(TARGET ${target})
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${quillon_program_rpath}")
    install(TARGETS ${target} RUNTIME DESTINATION ${QUILLON_INSTALL_DIR})
  endif()
endforeach()
# Shared libraries are read, never run: mode 0644, as Debian wants them.
set(quillon_library_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
foreach(target ${quillon_installed_libraries})
  if(TARGET ${target})
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${quillon_install_rpath}")
    install(TARGETS ${target} LIBRARY DESTINATION ${QUILLON_INSTALL_DIR}
            PERMISSIONS ${quillon_library_permissions})
  endif()
endforeach()

# The driver library over libusb, built as libQuor_PST.so (the name the
# program loads) in a folder of its own, installed in the program's folder.
if(TARGET quor_pst_libusb)
  set_target_properties(quor_pst_libusb PROPERTIES INSTALL_RPATH "${quillon_install_rpath}")
  install(TARGETS quor_pst_libusb LIBRARY DESTINATION ${QUILLON_INSTALL_DIR}
          PERMISSIONS ${quillon_library_permissions})
endif()

# The links in /usr/bin, relative so that the package works in any root.
set(quillon_link_dir ${CMAKE_BINARY_DIR}/packaging/bin)
file(MAKE_DIRECTORY ${quillon_link_dir})
foreach(program ${quillon_installed_programs})
  if(TARGET ${program})
    file(RELATIVE_PATH target_path ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
         ${CMAKE_INSTALL_PREFIX}/${QUILLON_INSTALL_DIR}/${program})
    file(CREATE_LINK ${target_path} ${quillon_link_dir}/${program} SYMBOLIC)
    install(FILES ${quillon_link_dir}/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(quillon_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${quillon_packaging_dir}/70-quillon.rules DESTINATION lib/udev/rules.d)
install(FILES ${quillon_packaging_dir}/vexaload.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The icon at the size menus and panels draw (48x48), at the size of the
# window's own, and drawn to any size (SVG).
set(quillon_icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${quillon_packaging_dir}/icons/vexaload-48.png
        DESTINATION ${quillon_icon_dir}/48x48/apps RENAME vexaload.png)
install(FILES ${PROJECT_SOURCE_DIR}/source/shell/ui/app/icons/vexaload.png
        DESTINATION ${quillon_icon_dir}/256x256/apps)
install(FILES ${quillon_packaging_dir}/icons/vexaload.svg DESTINATION ${quillon_icon_dir}/scalable/apps)
install(FILES ${quillon_packaging_dir}/invalid.quillon.vexaload.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The documents: the copyright in the machine-readable format as it is; the
# changelog, the user's part of the README and the manual pages compressed as
# Debian wants them (gzip -9n: no name and no time stamp, so the same text
# gives the same bytes).
find_program(QUILLON_GZIP gzip REQUIRED)
find_program(QUILLON_SED sed REQUIRED)
set(quillon_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quillon)
set(quillon_compressed_dir ${CMAKE_BINARY_DIR}/packaging/compressed)
set(quillon_compressed)
function(quillon_compressed_document source name destination)
  set(output ${quillon_compressed_dir}/${name}.gz)
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${quillon_compressed_dir}
                     COMMAND ${QUILLON_GZIP} -9n -c ${source} > ${output}
                     DEPENDS ${source} VERBATIM)
  install(FILES ${output} DESTINATION ${destination})
  set(quillon_compressed ${quillon_compressed} ${output} PARENT_SCOPE)
endfunction()
quillon_compressed_document(${quillon_packaging_dir}/changelog changelog ${quillon_doc_dir})
# The installed README is what a user of the installed program reads: the
# lines of the checkout's README from each "<!-- user guide -->" mark up to
# the next "<!-- checkout only -->" mark, the marks left out. How to build and
# test from the checkout stays behind.
set(quillon_user_readme ${CMAKE_BINARY_DIR}/packaging/README.md)
add_custom_command(OUTPUT ${quillon_user_readme}
                   COMMAND ${QUILLON_SED} -n -e [[/^<!-- user guide -->$/,/^<!-- checkout only -->$/{]]
                           -e [[/^<!-- /d]] -e p -e [[}]] ${PROJECT_SOURCE_DIR}/README.md > ${quillon_user_readme}.new
                   COMMAND ${CMAKE_COMMAND} -E rename ${quillon_user_readme}.new ${quillon_user_readme}
                   DEPENDS ${PROJECT_SOURCE_DIR}/README.md VERBATIM)
quillon_compressed_document(${quillon_user_readme} README.md ${quillon_doc_dir})
quillon_compressed_document(${quillon_packaging_dir}/vexaload.1 vexaload.1 ${CMAKE_INSTALL_MANDIR}/man1)
quillon_compressed_document(${quillon_packaging_dir}/Crypt.1 Crypt.1 ${CMAKE_INSTALL_MANDIR}/man1)
add_custom_target(quillon_documents ALL DEPENDS ${quillon_compressed})
install(FILES ${quillon_packaging_dir}/copyright DESTINATION ${quillon_doc_dir})
# What lintian says of the layout and of the program's own words, and why
# each is so.
install(FILES ${quillon_packaging_dir}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quillon)

# ---- the Debian package ---------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
# The program's own release, R02.00.
set(CPACK_PACKAGE_VERSION 2.00)
set(CPACK_PACKAGE_VENDOR Quillon)
set(CPACK_PACKAGE_CONTACT "Quillon <dev@quillon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware flashing suite for Vexa two-way radios")
# The long description; CPack puts the summary above it and indents it.
set(CPACK_PACKAGE_DESCRIPTION
    "vexaload loads firmware into Vexa two-way radios, the GPS receiver chips
inside them and smartphones of the same radio technology: one device or many
at once, over RS232 or USB, from its window, from script files or from a
remote client over TCP. Crypt scrambles update text files.

The package lets the user at the seat (and members of the group plugdev)
open the maker's USB radios, and keeps modem managers off them. Every USB
serial device /dev/ttyUSB0 to /dev/ttyUSB18, whatever it is (a cable to a
radio, a modem, a GPS dongle), is linked as /dev/quillon/COM1 to COM19 and
opened to the user at the seat.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://support.quillon.invalid/vexa20_flash.html")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends from the libraries the files link (Qt 6 Widgets, libcurl, libudev,
# libusb-1.0 and the C++ runtime); the suite's own libraries are private.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# udev applies the rule; xdg-open (xdg-utils) opens the working folder in the
# desktop's file manager (File -> Open Working Folder).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${quillon_packaging_dir}/postinst ${quillon_packaging_dir}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed binaries carry no debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# Installed-Size as dpkg counts the files.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/QuillonDebInstalledSize.cmake)
include(CPack)
