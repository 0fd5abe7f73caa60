# What `cmake --install` puts where.
include(GNUInstallDirs)

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
endif()
install(FILES ${installed_integrate.1} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${installed_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian's place and name for the licence.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
