# What `cmake --install` puts into a prefix P, and the Debian package cpack
# makes of it:
#   P/lib/lumora/bin/      the program folder: Lumora, the shared libraries and
#                          modules it loads by name, the driver libraries,
#                          PlugIns/ and the string table
#   P/lib/lumora/share     a link to P/share, so the system folder the program
#                          looks for beside its own folder,
#                          <program>/../share/lumora/system, is P/share/lumora/system
#   P/share/lumora/system  VqAPI.prf, the filter data base, the colour folder
#   P/bin/lumora           a link to the program
#   P/share/applications, P/share/mime/packages, P/share/icons/hicolor
#                          the desktop entry, the ZYR file type, the icons
#   P/include/lumora, P/<libdir>/pkgconfig
#                          the public C headers of LumoraVq and Kestra and
#                          their pkg-config files, for outside programs
# Test programs, test modules, tools and benchmarks are not installed.
include(GNUInstallDirs)

set(LUMORA_INSTALL_PROGRAM_DIR lib/lumora/bin)
set(LUMORA_INSTALL_SYSTEM_DIR ${CMAKE_INSTALL_DATADIR}/lumora/system)

install(TARGETS Lumora
  RUNTIME DESTINATION ${LUMORA_INSTALL_PROGRAM_DIR})
install(TARGETS lumora_platform ORVEXCMS LumoraVq Kestra
  LIBRARY DESTINATION ${LUMORA_INSTALL_PROGRAM_DIR})
install(TARGETS OrvexCMSC TalpSharp VrelSharpenLib TalpScale ZynWren3 ZynWren4 ZynPlover
  LIBRARY DESTINATION ${LUMORA_INSTALL_PROGRAM_DIR})
install(TARGETS ZynFolderPlugIn
  LIBRARY DESTINATION ${LUMORA_INSTALL_PROGRAM_DIR}/PlugIns)
install(FILES ${CMAKE_BINARY_DIR}/bin/LumoraUIStrings.u16
  DESTINATION ${LUMORA_INSTALL_PROGRAM_DIR})

# The links are relative, so they hold inside DESTDIR and a package alike.
install(CODE "
  set(_root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  file(MAKE_DIRECTORY \"\${_root}/${CMAKE_INSTALL_BINDIR}\" \"\${_root}/lib/lumora\")
  file(CREATE_LINK ../../${CMAKE_INSTALL_DATADIR} \"\${_root}/lib/lumora/share\" SYMBOLIC)
  file(CREATE_LINK ../${LUMORA_INSTALL_PROGRAM_DIR}/Lumora \"\${_root}/${CMAKE_INSTALL_BINDIR}/lumora\" SYMBOLIC)
  message(STATUS \"Installing: \${_root}/${CMAKE_INSTALL_BINDIR}/lumora\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_root}/${CMAKE_INSTALL_BINDIR}/lumora\" \"\${_root}/lib/lumora/share\")
")

install(FILES ${CMAKE_SOURCE_DIR}/packaging/VqAPI.prf DESTINATION ${LUMORA_INSTALL_SYSTEM_DIR})
install(DIRECTORY DESTINATION ${LUMORA_INSTALL_SYSTEM_DIR}/orvex/vxfms)
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/lumora/system/spool/drivers/color/
  DESTINATION ${LUMORA_INSTALL_SYSTEM_DIR}/spool/drivers/color
  FILES_MATCHING PATTERN "*.icm")

install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumora.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

set(LUMORA_ICON_SIZES 16 22 24 32 48 64 128 256)
set(_icons)
foreach(_size ${LUMORA_ICON_SIZES})
  set(_icon ${CMAKE_BINARY_DIR}/share/icons/hicolor/${_size}x${_size}/apps/lumora.png)
  add_custom_command(OUTPUT ${_icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/icons/hicolor/${_size}x${_size}/apps
    COMMAND lumoraicon ${_size} ${_icon}
    DEPENDS lumoraicon
    COMMENT "Drawing the ${_size} px icon")
  list(APPEND _icons ${_icon})
  install(FILES ${_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
endforeach()
add_custom_target(lumora_icons ALL DEPENDS ${_icons})

file(GLOB _vq_headers ${CMAKE_SOURCE_DIR}/src/camera/include/*.h)
install(FILES ${_vq_headers} ${CMAKE_SOURCE_DIR}/src/kestra/include/Kestra.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumora)
# The prefix is known only at install time (cmake --install --prefix): the
# files are configured with a mark in its place.
set(LUMORA_PC_PREFIX "%prefix%")
foreach(_pc lumora-vq kestra)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${_pc}.pc.in ${CMAKE_BINARY_DIR}/packaging/${_pc}.pc.in @ONLY)
  # Written straight into the prefix: installs into several DESTDIRs at
  # once (the tests do) share no file of the build tree.
  install(CODE "
    file(READ \"${CMAKE_BINARY_DIR}/packaging/${_pc}.pc.in\" _text)
    string(REPLACE \"%prefix%\" \"\${CMAKE_INSTALL_PREFIX}\" _text \"\${_text}\")
    set(_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/${_pc}.pc\")
    message(STATUS \"Installing: \${_file}\")
    file(WRITE \"\${_file}\" \"\${_text}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_file}\")
  ")
endforeach()

# The Debian package: its dependencies are found from the libraries the
# installed programs and modules link (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VENDOR "Lumora")
set(CPACK_PACKAGE_CONTACT "Lumora developers <lumora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Raw photo workstation")
set(CPACK_PACKAGE_DESCRIPTION "Lumora opens folders of raw ZYR photographs as contact sheets,
adjusts white balance, exposure, levels, look, sharpening, noise, crop and
rotation, and saves finished TIFF and JPEG files singly or in batches.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /usr/${LUMORA_INSTALL_PROGRAM_DIR})
include(CPack)
