# Installation and the Debian package (`./dev package`, or cpack in the build folder): the
# three programs, the desktop entry, the icon in the hicolor theme (SVG and PNG), the
# AppStream metadata, the manual pages and the package's documents.
include(GNUInstallDirs)

set(LINKVEX_APP_ID com.linkvex.Linkvex)
set(packaging_src ${CMAKE_SOURCE_DIR}/packaging/linux)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging_out})

# The changelog's date in the form Debian wants, from the release date.
execute_process(COMMAND date -u -R -d "${LINKVEX_RELEASE_DATE} 12:00:00"
                OUTPUT_VARIABLE LINKVEX_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)

configure_file(${packaging_src}/${LINKVEX_APP_ID}.metainfo.xml.in
               ${packaging_out}/${LINKVEX_APP_ID}.metainfo.xml @ONLY)

# Manual pages and the changelog, compressed without a time stamp (reproducible).
set(packaging_gz)
foreach(page linkvex linkvex-cli linkvex-devsim)
    configure_file(${packaging_src}/${page}.1.in ${packaging_out}/${page}.1 @ONLY)
    list(APPEND packaging_gz ${page}.1)
endforeach()
configure_file(${packaging_src}/changelog.in ${packaging_out}/changelog @ONLY)
list(APPEND packaging_gz changelog)
set(packaging_gz_files)
foreach(name ${packaging_gz})
    add_custom_command(OUTPUT ${packaging_out}/${name}.gz
        COMMAND gzip -9 -n -c ${packaging_out}/${name} > ${packaging_out}/${name}.gz
        DEPENDS ${packaging_out}/${name}
        COMMENT "Compressing ${name}" VERBATIM)
    list(APPEND packaging_gz_files ${packaging_out}/${name}.gz)
endforeach()

# The icon drawn at the theme's fixed sizes.
add_executable(linkvex-icon-render ${CMAKE_SOURCE_DIR}/tools/icon-render/main.cpp)
target_link_libraries(linkvex-icon-render PRIVATE Qt6::Gui Qt6::Svg)
set(LINKVEX_ICON_SIZES 32 48 64 128 256)
set(packaging_png_files)
foreach(size ${LINKVEX_ICON_SIZES})
    set(png ${packaging_out}/icons/${size}x${size}/${LINKVEX_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/icons/${size}x${size}
        COMMAND linkvex-icon-render ${packaging_src}/linkvex.svg ${png} ${size}
        DEPENDS ${packaging_src}/linkvex.svg linkvex-icon-render
        COMMENT "Drawing the ${size}x${size} icon" VERBATIM)
    list(APPEND packaging_png_files ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${packaging_gz_files} ${packaging_png_files})

install(TARGETS linkvex linkvex-cli linkvex-devsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging_src}/${LINKVEX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_out}/${LINKVEX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_src}/linkvex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${LINKVEX_APP_ID}.svg)
install(FILES ${packaging_out}/linkvex.1.gz ${packaging_out}/linkvex-cli.1.gz
              ${packaging_out}/linkvex-devsim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_src}/copyright ${packaging_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/linkvex)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linkvex)
set(CPACK_PACKAGE_VERSION ${LINKVEX_VERSION})
set(CPACK_PACKAGE_VENDOR Linkvex)
set(CPACK_PACKAGE_CONTACT "Linkvex <packages@linkvex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility for HDMI EDID managers")
# Debian's long description: CPack puts the summary first and indents every line.
set(CPACK_PACKAGE_DESCRIPTION
    "Linkvex finds HDMI devices (EDID managers, audio decoders, inserters and
extractors, and an HDBaseT transmitter) on the serial ports and on the local
Ethernet network, lists them, and works with the selected one: it saves and
uploads EDIDs, chooses the EDID each input presents, analyzes EDIDs and
creates new ones.

The package holds the desktop program linkvex, the command-line front end
linkvex-cli, and linkvex-devsim, which simulates devices for trying both.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 2)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
