# The message catalogues: po/<language>.po compiled by msgfmt into the build
# folder's locale/ (where a program run from the build folder finds them) and
# installed into the system's locale folder. `cmake --build build --target pot`
# extracts the strings anew into po/velmora.pot and merges them into each
# language's file.
find_program(MSGFMT msgfmt REQUIRED)
find_program(MSGMERGE msgmerge REQUIRED)
file(STRINGS ${CMAKE_SOURCE_DIR}/po/LINGUAS VELMORA_LANGUAGES REGEX "^[^#]")
set(VELMORA_CATALOGUES)
foreach(language ${VELMORA_LANGUAGES})
  set(catalogue ${CMAKE_BINARY_DIR}/locale/${language}/LC_MESSAGES/velmora.mo)
  add_custom_command(OUTPUT ${catalogue}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/locale/${language}/LC_MESSAGES
                     COMMAND ${MSGFMT} --check -o ${catalogue} ${CMAKE_SOURCE_DIR}/po/${language}.po
                     DEPENDS ${CMAKE_SOURCE_DIR}/po/${language}.po
                     COMMENT "Compiling the ${language} message catalogue")
  install(FILES ${catalogue} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
  list(APPEND VELMORA_CATALOGUES ${catalogue})
endforeach()
# The settings' desktop entry and the AppStream metainfo carry their
# translations inside them, merged in by msgfmt from every language's file;
# the package installs these copies.
set(VELMORA_LANGUAGE_FILES)
foreach(language ${VELMORA_LANGUAGES})
  list(APPEND VELMORA_LANGUAGE_FILES ${CMAKE_SOURCE_DIR}/po/${language}.po)
endforeach()
set(translated_desktop_entry ${CMAKE_BINARY_DIR}/packaging/com.brightfen.velmora.settings.desktop)
set(translated_metainfo ${CMAKE_BINARY_DIR}/packaging/com.brightfen.velmora.metainfo.xml)
add_custom_command(OUTPUT ${translated_desktop_entry} ${translated_metainfo}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                   COMMAND ${MSGFMT} --desktop --template=${CMAKE_SOURCE_DIR}/packaging/com.brightfen.velmora.settings.desktop
                                     -d ${CMAKE_SOURCE_DIR}/po -o ${translated_desktop_entry}
                   COMMAND ${MSGFMT} --xml --template=${CMAKE_SOURCE_DIR}/packaging/com.brightfen.velmora.metainfo.xml
                                     -d ${CMAKE_SOURCE_DIR}/po -o ${translated_metainfo}
                   DEPENDS ${CMAKE_SOURCE_DIR}/packaging/com.brightfen.velmora.settings.desktop
                           ${CMAKE_SOURCE_DIR}/packaging/com.brightfen.velmora.metainfo.xml
                           ${CMAKE_SOURCE_DIR}/po/LINGUAS ${VELMORA_LANGUAGE_FILES}
                   COMMENT "Translating the desktop entry and the metainfo")
add_custom_target(translations ALL DEPENDS ${VELMORA_CATALOGUES} ${translated_desktop_entry} ${translated_metainfo})
add_dependencies(velmora translations)
add_dependencies(VelmoraBG translations)

add_custom_target(pot COMMAND ${CMAKE_SOURCE_DIR}/po/update-pot.sh ${CMAKE_SOURCE_DIR}/po/velmora.pot
                      COMMAND ${CMAKE_SOURCE_DIR}/po/merge-translations.sh
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} VERBATIM)

add_test(NAME translations COMMAND ${CMAKE_SOURCE_DIR}/tests/po/translations-test.sh ${CMAKE_SOURCE_DIR}
                                   $<TARGET_FILE:velmora> $<TARGET_FILE:VelmoraBG> ${CMAKE_BINARY_DIR}/packaging)
set_tests_properties(translations PROPERTIES LABELS unit TIMEOUT 120)
