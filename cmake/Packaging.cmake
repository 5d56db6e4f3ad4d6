# The Debian package of the rig PC (scripts/package builds it with CPack):
#   /opt/veltron                 program folder: veltron, libhdlc.so, setup.ini (a conffile), BMP/
#   /usr/share/veltron/sample    the sample working directory: Tabl1/, Errors/, DataBase.mdb
#   /usr/share/veltron/setup-workdir   fills /var/lib/veltron from the sample (postinst)
#   /lib/systemd/system/veltron-kiosk.service, the polkit power-off rule, the font aliases,
#   the guides and the example udev rule in /usr/share/doc/veltron.
# The working directory /var/lib/veltron is made by the postinst, never by the package, so
# removing the package leaves the measurements where they are.
#
# Only the component "veltron" goes into the package; a tool that belongs on the rig PC adds
# its own install() rules with COMPONENT veltron.

set(_veltron_pkg_component veltron)

# The program folder and the sample working directory are laid out by the same scripts as
# the sample installation of scripts/install-sample, into the package's staging folder.
install(CODE "
  set(_root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  execute_process(COMMAND \"${CMAKE_SOURCE_DIR}/scripts/lay-out-program\" \"${CMAKE_BINARY_DIR}\" \"\${_root}/opt/veltron\"
                  RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR \"lay-out-program failed: \${_rc}\")
  endif()
  # The build keeps debug information; the rig PC gets the stripped program.
  foreach(_f veltron libhdlc.so)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${_root}/opt/veltron/\${_f}\")
  endforeach()
  file(REMOVE_RECURSE \"\${_root}/usr/share/veltron/sample\")
  execute_process(COMMAND sh \"${CMAKE_SOURCE_DIR}/install/setup-workdir\" \"${CMAKE_SOURCE_DIR}/install\"
                          \"\${_root}/usr/share/veltron/sample\"
                  RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR \"setup-workdir failed: \${_rc}\")
  endif()
" COMPONENT ${_veltron_pkg_component})

install(PROGRAMS ${CMAKE_SOURCE_DIR}/install/setup-workdir DESTINATION usr/share/veltron
        COMPONENT ${_veltron_pkg_component})
install(FILES ${CMAKE_SOURCE_DIR}/install/systemd/veltron-kiosk.service DESTINATION lib/systemd/system
        COMPONENT ${_veltron_pkg_component})
install(FILES ${CMAKE_SOURCE_DIR}/install/polkit/50-veltron-poweroff.rules DESTINATION usr/share/polkit-1/rules.d
        COMPONENT ${_veltron_pkg_component})
install(FILES ${CMAKE_SOURCE_DIR}/install/fontconfig/60-veltron-fonts.conf DESTINATION usr/share/fontconfig/conf.avail
        COMPONENT ${_veltron_pkg_component})
install(CODE "
  set(_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/etc/fonts/conf.d\")
  file(MAKE_DIRECTORY \"\${_dir}\")
  file(CREATE_LINK ../../../usr/share/fontconfig/conf.avail/60-veltron-fonts.conf \"\${_dir}/60-veltron-fonts.conf\" SYMBOLIC)
" COMPONENT ${_veltron_pkg_component})
install(FILES ${CMAKE_SOURCE_DIR}/install/udev/70-veltron-serial.rules DESTINATION usr/share/doc/veltron/examples
        COMPONENT ${_veltron_pkg_component})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION usr/share/doc/veltron COMPONENT ${_veltron_pkg_component})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltron)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Rig software <rig-software@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control program of the coil spring test rig")
set(CPACK_PACKAGE_DESCRIPTION
    "Drives the spring test rig over serial lines, measures springs and sets of springs,\ngrades them and stores the results. Includes the kiosk start (cage) and an emulation mode.")
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_COMPONENTS_ALL ${_veltron_pkg_component})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libhdlc.so comes with the package; dpkg-shlibdeps finds it beside the program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS opt/veltron)
# Fonts of the screens, the font aliases, the postinst's tools. The kiosk (cage with Qt's
# Wayland platform) and the power-off rule (polkit) are recommended, so a desk PC for
# evaluation can do without them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-paratype, fontconfig, adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cage, qt6-wayland, polkitd")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sqlite3, xvfb")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/install/debian/postinst
    ${CMAKE_SOURCE_DIR}/install/debian/prerm
    ${CMAKE_SOURCE_DIR}/install/debian/postrm
    ${CMAKE_SOURCE_DIR}/install/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
