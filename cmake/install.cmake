# Install rules and packages. `cmake --install` puts the utility in bin/, its man page in
# share/man/man1/, and the README with the third-party notices in share/doc/zentu-rebrand/. CPack
# makes a .deb of the native build and a .zip of a Windows build (the program at the top with the
# notices beside it). The program is already stripped after linking (cmake/debug_info.cmake); its
# debug information is not installed.
include(GNUInstallDirs)
# Installing and packaging take the program as built; they do not build the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The licence of the 7-Zip program this build carries, exactly as its package ships it.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(zentu_7zip_license ${ZENTU_7ZIP_PACKAGE_DIR}/win/x64/License.txt)
elseif(WIN32)
  set(zentu_7zip_license ${ZENTU_7ZIP_PACKAGE_DIR}/win/ia32/License.txt)
else()
  set(zentu_7zip_license ${ZENTU_7ZIP_PACKAGE_DIR}/linux/x64/License.txt)
endif()
set(zentu_notices ${CMAKE_SOURCE_DIR}/doc/THIRD-PARTY-NOTICES.txt
                  ${CMAKE_SOURCE_DIR}/doc/zlib-License.txt)

if(WIN32)
  install(TARGETS zentu-rebrand RUNTIME DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${zentu_notices} DESTINATION .)
  install(FILES ${zentu_7zip_license} DESTINATION . RENAME 7-Zip-License.txt)
else()
  set(zentu_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/zentu-rebrand)
  install(TARGETS zentu-rebrand RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/doc/zentu-rebrand.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${zentu_notices} DESTINATION ${zentu_doc_dir})
  install(FILES ${zentu_7zip_license} DESTINATION ${zentu_doc_dir} RENAME 7-Zip-License.txt)
endif()

set(CPACK_PACKAGE_NAME zentu-rebrand)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zentu")
set(CPACK_PACKAGE_CONTACT "Zentu <support@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Brands the Zentu client: embeds reseller resources, replaces the icon, packs and lists them")
set(CPACK_PACKAGE_FILE_NAME_BASE zentu-rebrand-${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME_BASE}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME_BASE}-win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # zlib and the C++ runtime, as dpkg-shlibdeps finds them
endif()
include(CPack)
