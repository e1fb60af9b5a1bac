# The Debian package (cpack -G DEB): the programs, the desktop entry, the icons,
# the AppStream metadata, the manual pages and the package's own documents.
# Dependencies are worked out from the binaries by dpkg-shlibdeps, plus the
# libraries the programs load only when they need them.

set(quorvel_doc share/doc/quorvel)
set(quorvel_generated ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${quorvel_generated})

# Manual pages and the changelog are installed compressed, as Debian wants them.
set(quorvel_compressed)
foreach(source IN ITEMS man/quorvel.1 man/quorvel-check.1 linux/changelog)
  get_filename_component(name ${source} NAME)
  if(name STREQUAL "changelog")
    set(name changelog.Debian)
  endif()
  set(output ${quorvel_generated}/${name}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/resources/${source} > ${output}
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/${source}
    VERBATIM)
  list(APPEND quorvel_compressed ${output})
endforeach()
add_custom_target(quorvel_package_files ALL DEPENDS ${quorvel_compressed})

install(FILES ${quorvel_generated}/quorvel.1.gz ${quorvel_generated}/quorvel-check.1.gz
        DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/example.ombrask.Quorvel.metainfo.xml
        DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/copyright ${quorvel_generated}/changelog.Debian.gz
        DESTINATION ${quorvel_doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR Ombrask)
set(CPACK_PACKAGE_CONTACT "Ombrask <quorvel@ombrask.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://ombrask.example/quorvel/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded when first needed rather than linked (TLS, the new-mail sound, the
# sign-in's HTTP and the Secret Service), so dpkg-shlibdeps does not see
# them; GIO comes with GLib, which Qt needs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3, libcanberra0, libcurl4, libsecret-1-0")
# Japanese glyphs in the menus and dialogs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-japanese-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack indents the lines after the first; an empty line becomes " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "POP3 mail checker in the notification area
Quorvel checks POP3 mailboxes when it starts and then every few minutes, and
shows the result in the desktop's notification area: a status icon with the
state of the last check and a second icon that lists the mailboxes holding
mail. The new-mail sound plays when a count rises. It never downloads, reads
or deletes mail. Connections can be protected with STARTTLS or SSL/TLS.

The package also holds quorvel-check, which checks the same accounts once
from the command line. The user interface is Japanese.")
include(CPack)
