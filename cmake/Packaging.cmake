# The native program as a Debian package: after a build of the linux-release preset,
# `cpack --preset linux-release` writes build/package/tonolot_<version>-1_amd64.deb.
# scripts/package-deb.sh builds it and holds it to lintian, the AppStream and desktop entry
# validators and a start of the installed program.

set(TONOLOT_PACKAGE_NAME tonolot)
set(TONOLOT_MAINTAINER
    "Seed 4e87f979 maintainers <maintainers@users.noreply.c-seed-4e87f979.example>")
set(TONOLOT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${TONOLOT_PACKAGE_NAME})

# The manual page and the package's changelog are installed compressed, without the time stamp
# gzip would otherwise store, so the same sources give the same package.
set(TONOLOT_COMPRESSED)
foreach(source data/tonolot.1 packaging/debian/changelog)
    get_filename_component(name ${source} NAME)
    if(name STREQUAL "changelog")
        set(name changelog.Debian)
    endif()
    set(output ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
        COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/${source} > ${output}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source} VERBATIM)
    list(APPEND TONOLOT_COMPRESSED ${output})
endforeach()
add_custom_target(tonolot_documents ALL DEPENDS ${TONOLOT_COMPRESSED})

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/tonolot.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/example.tonolot.Tonolot.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/debian/copyright
    ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION ${TONOLOT_DOC_DIR})
# Each override carries its reason in the file.
install(FILES packaging/debian/tonolot.lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${TONOLOT_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TONOLOT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT ${TONOLOT_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hearing test with pure tones and an audiogram")
set(CPACK_PACKAGE_DESCRIPTION
    "Tonolot plays a pure tone into one ear at a time, rising slowly from silence,
at ten frequencies from 70 Hz to 12000 Hz in random order. The listener presses
a button as soon as the tone is heard; the loudness reached then is the ear's
threshold at that frequency. The results are drawn as an audiogram beside a
reference curve and are kept per person in the user's data folder.
The user interface is in German.")
# Directories the package creates: readable by all, as everything else under /usr.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TONOLOT_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tonolot.example/")
# The libraries the program links come from dpkg-shlibdeps; the pulse plugin is what takes
# ALSA's default device to the desktop's sound server, so it is recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libasound2-plugins)
include(CPack)
