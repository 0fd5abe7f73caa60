# What `cmake --install` puts where, and the packages CPack makes of it:
# a .deb and a .tar.gz on Linux, a .zip from the Windows build.
include(GNUInstallDirs)

set(INTEGRATE_MAINTAINER "The integrate developers <integrate@example.org>")
set(INTEGRATE_SUMMARY "numerical integration in a Slovak console dialogue")

if(WIN32)
  # A folder to unpack and double-click in, with the text files Windows
  # editors expect (CR LF). No manual page: Windows has no reader for it.
  install(TARGETS integrate RUNTIME DESTINATION .)
  configure_file(packaging/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt DESTINATION .)
else()
  install(TARGETS integrate RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Debian wants the manual page and the changelog compressed with gzip -9n
  # (no name, no timestamp: the same bytes on every build). Where gzip is
  # missing they are installed as they are; man reads either.
  find_program(INTEGRATE_GZIP gzip)
  set(doc_out ${CMAKE_CURRENT_BINARY_DIR}/doc)
  file(MAKE_DIRECTORY ${doc_out})
  set(compressed)
  foreach(doc doc/integrate.1 packaging/changelog)
    get_filename_component(name ${doc} NAME)
    if(INTEGRATE_GZIP)
      add_custom_command(OUTPUT ${doc_out}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${doc} ${doc_out}/${name}
        COMMAND ${INTEGRATE_GZIP} -9nf ${doc_out}/${name}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${doc} VERBATIM)
      list(APPEND compressed ${doc_out}/${name}.gz)
      set(installed_${name} ${doc_out}/${name}.gz)
    else()
      set(installed_${name} ${CMAKE_CURRENT_SOURCE_DIR}/${doc})
    endif()
  endforeach()
  if(compressed)
    add_custom_target(compressed_docs ALL DEPENDS ${compressed})
    # Installing after building the program alone finds them made.
    add_dependencies(integrate compressed_docs)
  endif()
  install(FILES ${installed_integrate.1} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${installed_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Debian's place and name for the licence.
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
endif()

set(CPACK_PACKAGE_NAME integrate)
set(CPACK_PACKAGE_VENDOR "The integrate developers")
set(CPACK_PACKAGE_CONTACT "${INTEGRATE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${INTEGRATE_SUMMARY}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Not the packager's umask: every directory in a package is rwxr-xr-x.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
string(TOLOWER "${CMAKE_SYSTEM_NAME}" system)
set(CPACK_PACKAGE_FILE_NAME "integrate-${PROJECT_VERSION}-${system}-${CMAKE_SYSTEM_PROCESSOR}")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
endif()

# Debian: integrate_VERSION_ARCH.deb, dependencies from dpkg-shlibdeps.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${INTEGRATE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary first, as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "integrate approximates the definite integral of one of eleven built-in
functions (ten polynomials and the square root of sin x) over an interval
split into n equal parts, by Simpson's rule, the left rectangle rule or
the trapezoid rule. It asks for the function, the interval and n in a
dialogue in Slovak, prints every result with fifteen decimals, exact to
one fixed order of IEEE double operations, and appends a record of each
run to the file vysledky.txt in the current directory.")

include(CPack)
