# Install rules and packages. `cmake --install` puts the utility in bin/, its man page (compressed,
# its paths those of the prefix) in share/man/man1/, and the README with the third-party notices,
# the copyright and the changelog in share/doc/zentu-rebrand/: the layout the program takes for an
# installed one (src/program_layout.h). CPack makes a .deb of the native build and a .zip of a
# Windows build: one folder holding the program, a short user README and every licence. The program
# is already stripped after linking (cmake/debug_info.cmake); its debug information is not
# installed.
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
  install(FILES ${CMAKE_SOURCE_DIR}/doc/README-windows.txt DESTINATION . RENAME README.txt)
  # The MinGW-w64 runtime (winpthreads, the C runtime glue, libgcc, libstdc++) is linked in.
  install(FILES ${zentu_notices} ${CMAKE_SOURCE_DIR}/doc/MinGW-w64-License.txt DESTINATION .)
  install(FILES ${zentu_7zip_license} DESTINATION . RENAME 7-Zip-License.txt)
else()
  find_program(ZENTU_GZIP gzip REQUIRED)
  set(zentu_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/zentu-rebrand)
  install(TARGETS zentu-rebrand RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${zentu_notices} ${CMAKE_SOURCE_DIR}/doc/copyright
          DESTINATION ${zentu_doc_dir})
  install(FILES ${zentu_7zip_license} DESTINATION ${zentu_doc_dir} RENAME 7-Zip-License.txt)
  install(FILES ${CMAKE_SOURCE_DIR}/doc/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME zentu-rebrand)
  # Written at install time, when the prefix is known (CPack installs into /usr): the man page
  # names the documentation folder of that prefix. Both are compressed as Debian wants them,
  # without a name or time stamp in the gzip header.
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(man_dir \"\$ENV{DESTDIR}\${prefix}/${CMAKE_INSTALL_MANDIR}/man1\")
    set(doc_dir \"\$ENV{DESTDIR}\${prefix}/${zentu_doc_dir}\")
    file(READ \"${CMAKE_SOURCE_DIR}/doc/zentu-rebrand.1\" page)
    string(REPLACE \"/usr/share/doc/zentu-rebrand/\" \"\${prefix}/${zentu_doc_dir}/\" page \"\${page}\")
    file(WRITE \"${CMAKE_BINARY_DIR}/zentu-rebrand.1\" \"\${page}\")
    file(MAKE_DIRECTORY \"\${man_dir}\" \"\${doc_dir}\")
    foreach(pair \"${CMAKE_BINARY_DIR}/zentu-rebrand.1|\${man_dir}/zentu-rebrand.1.gz\"
                 \"${CMAKE_SOURCE_DIR}/doc/changelog.Debian|\${doc_dir}/changelog.Debian.gz\")
      string(REPLACE \"|\" \";\" pair \"\${pair}\")
      list(GET pair 0 from)
      list(GET pair 1 to)
      message(STATUS \"Installing: \${to}\")
      execute_process(COMMAND \"${ZENTU_GZIP}\" -9n -c \"\${from}\" OUTPUT_FILE \"\${to}\"
                      RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR \"cannot compress \${from}\")
      endif()
      file(CHMOD \"\${to}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${to}\")
    endforeach()
  ")
endif()

set(CPACK_PACKAGE_NAME zentu-rebrand)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zentu")
set(CPACK_PACKAGE_CONTACT "Zentu <support@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "brand the Zentu client with a reseller's resources")
set(CPACK_PACKAGE_FILE_NAME_BASE zentu-rebrand-${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # The archive unpacks into one folder named after it.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME_BASE}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME_BASE}-win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # zlib and the C++ runtime, as dpkg-shlibdeps finds them
  # The long description; CPack puts the summary before it as the synopsis.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "zentu-rebrand embeds a folder of reseller resources (an oem_info.xml naming
the product, logos, texts) into the Zentu video-surveillance client: Windows
programs, Android packages, Linux packages and macOS disk images. It replaces
the application icon, writes a commented oem_info.xml template, checks a
resource folder before branding, packs resources into a stand-alone
resource.oem, and lists or unpacks the resources a branded file carries.")
endif()
include(CPack)
