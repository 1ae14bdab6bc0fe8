# Installing like a desktop program: the menu entry and its icon, the manual pages, the add-on
# packed for both browsers, and the Debian package that `make package` makes of it all.
set(PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(PACKAGING_BUILD ${CMAKE_BINARY_DIR}/packaging)

install(FILES ${PACKAGING_DIR}/vellumite.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PACKAGING_DIR}/icons/vellumite.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128)
    install(FILES ${PACKAGING_DIR}/icons/vellumite-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME vellumite.png)
endforeach()

# Manual pages and the change log go out compressed, without a time stamp (gzip -n), so that
# the same sources make the same package.
set(PACKAGING_GZIPPED)
foreach(file man/vellumite.1 man/vellumitebar.1 changelog)
    get_filename_component(name ${file} NAME)
    add_custom_command(
        OUTPUT ${PACKAGING_BUILD}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PACKAGING_BUILD}
        COMMAND gzip -9 -n -c ${PACKAGING_DIR}/${file} > ${PACKAGING_BUILD}/${name}.gz
        DEPENDS ${PACKAGING_DIR}/${file}
        VERBATIM)
    list(APPEND PACKAGING_GZIPPED ${PACKAGING_BUILD}/${name}.gz)
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${PACKAGING_GZIPPED})
install(FILES ${PACKAGING_BUILD}/vellumite.1.gz ${PACKAGING_BUILD}/vellumitebar.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PACKAGING_DIR}/copyright ${PACKAGING_BUILD}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PACKAGING_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME vellumite)

# The add-on, packed: a zip for Chromium (or unpacked from it, or loaded from the installed
# chromium/ folder) and an .xpi for Firefox. Both keep their ids (the Chromium manifest's key,
# the Firefox gecko id), so the host that `vellumitebar install` registers accepts them.
set(EXTENSION_PACKS)
foreach(browser chromium firefox)
    if(browser STREQUAL "firefox")
        set(pack ${EXTENSION_BUILD}/vellumitebar-firefox.xpi)
    else()
        set(pack ${EXTENSION_BUILD}/vellumitebar-chromium.zip)
    endif()
    add_custom_command(
        OUTPUT ${pack}
        COMMAND ${CMAKE_COMMAND} -DTREE=${EXTENSION_BUILD}/${browser} -DOUT=${pack}
                -P ${PACKAGING_DIR}/pack-extension.cmake
        DEPENDS ${EXTENSION_BUILD}/${browser}/manifest.json ${EXTENSION_FILES}
                ${PACKAGING_DIR}/pack-extension.cmake
        COMMENT "Packing the add-on for ${browser}")
    list(APPEND EXTENSION_PACKS ${pack})
endforeach()
add_custom_target(extension_packs ALL DEPENDS ${EXTENSION_PACKS})
add_dependencies(extension_packs extension)
set(EXTENSION_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/vellumite/extension)
install(FILES ${EXTENSION_PACKS} DESTINATION ${EXTENSION_INSTALL_DIR})
install(DIRECTORY ${EXTENSION_BUILD}/chromium DESTINATION ${EXTENSION_INSTALL_DIR})

# The package's version is the project's; the change log's latest entry must name the same.
file(STRINGS ${PACKAGING_DIR}/changelog PACKAGING_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT PACKAGING_CHANGELOG_TOP MATCHES "^vellumite \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog starts with \"${PACKAGING_CHANGELOG_TOP}\": its "
                        "latest entry must be for version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellumite)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vellumite developers <developers@vellumite.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the programs link are found by dpkg-shlibdeps. xdg-utils is no library: the
# editor opens the browser (and documents, without a word processor) with xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "chromium | firefox-esr, libreoffice-writer")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop weblog editor and site publisher")
set(CPACK_PACKAGE_DESCRIPTION
    "Vellumite keeps your sites in a local database: write posts and drafts,
pick or design a site template, preview the generated static site and
publish it to your web space over FTP. The editor's screens open in your
web browser.
.
The package also holds the Vellumite toolbar, a browser add-on for Chromium
and Firefox that marks your search terms in every page and collects text for
the editor, and vellumitebar, the program the add-on talks to.")
include(CPack)
