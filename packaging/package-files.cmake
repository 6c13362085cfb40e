# What a Debian user expects besides the programs: manual pages, shell
# completion, the copyright and changelog files, and the AppStream metainfo
# by which software centres list the application.

# The manual pages are written in scdoc and installed gzipped, as Debian's
# man looks for them. Without scdoc (a packager's bare machine) the build
# goes on without them, and the package's test notices.
find_program(VELMORA_SCDOC scdoc)
set(VELMORA_MANUAL_PAGES velmora VelmoraBG)
set(velmora_package_files "")
if(VELMORA_SCDOC)
  foreach(page IN LISTS VELMORA_MANUAL_PAGES)
    set(source ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1.scd)
    set(page_file ${CMAKE_BINARY_DIR}/man/${page}.1)
    add_custom_command(OUTPUT ${page_file} ${page_file}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND sh -c "\"$1\" <\"$2\" >\"$3\" && gzip -9n -c \"$3\" >\"$3.gz\"" sh ${VELMORA_SCDOC} ${source} ${page_file}
      DEPENDS ${source}
      COMMENT "Manual page ${page}(1)"
      VERBATIM)
    list(APPEND velmora_package_files ${page_file}.gz)
    install(FILES ${page_file}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(WARNING "scdoc not found: the manual pages are not built (scripts/install-deps.sh installs it)")
endif()

# gzip -n leaves out the time stamp, so the same changelog packs the same.
set(velmora_changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${velmora_changelog}
  COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" sh ${CMAKE_SOURCE_DIR}/packaging/debian/changelog ${velmora_changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
list(APPEND velmora_package_files ${velmora_changelog})
add_custom_target(velmora_package_files ALL DEPENDS ${velmora_package_files})

install(FILES ${velmora_changelog} packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora)
install(FILES packaging/debian/velmora.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME velmora)
# With its translations merged in (po/translations.cmake).
install(FILES ${CMAKE_BINARY_DIR}/packaging/com.brightfen.velmora.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/completion/velmora.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME velmora)
# Debian's zsh looks here for the completions packages bring.
install(FILES packaging/completion/_velmora DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
