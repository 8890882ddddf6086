# What a user installs: the programs where Debian puts them, the udev rule,
# the nightly backup's user units, the menu entry, the icon, the AppStream description, the man pages and the
# package's own documents; and the Debian package that CPack makes of them
# (scripts/package).
include(GNUInstallDirs)

set(PARLOMAX_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(PARLOMAX_GENERATED ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${PARLOMAX_GENERATED})

# The version is written once, in project(); these take it from there.
configure_file(${PARLOMAX_PACKAGING}/desktop/org.parlomax.Parlomax.metainfo.xml.in
               ${PARLOMAX_GENERATED}/org.parlomax.Parlomax.metainfo.xml @ONLY)
foreach(page parlomax.1 parlomax-cli.1 parlomax-phone.1)
  configure_file(${PARLOMAX_PACKAGING}/man/${page}.in ${PARLOMAX_GENERATED}/${page} @ONLY)
  configure_file(${PARLOMAX_PACKAGING}/man/zh_CN/${page}.in ${PARLOMAX_GENERATED}/zh_CN/${page} @ONLY)
endforeach()
configure_file(${PARLOMAX_PACKAGING}/debian/changelog.in ${PARLOMAX_GENERATED}/changelog @ONLY)

# Debian wants man pages and the changelog compressed, without a time stamp.
foreach(file parlomax.1 parlomax-cli.1 parlomax-phone.1 zh_CN/parlomax.1 zh_CN/parlomax-cli.1 zh_CN/parlomax-phone.1
             changelog)
  add_custom_command(OUTPUT ${PARLOMAX_GENERATED}/${file}.gz
    COMMAND gzip -9 -n -c ${PARLOMAX_GENERATED}/${file} > ${PARLOMAX_GENERATED}/${file}.gz
    DEPENDS ${PARLOMAX_GENERATED}/${file})
  list(APPEND PARLOMAX_COMPRESSED ${PARLOMAX_GENERATED}/${file}.gz)
endforeach()
add_custom_target(parlomax_compressed_documents ALL DEPENDS ${PARLOMAX_COMPRESSED})

# udev reads its rules from /usr/lib/udev/rules.d whatever the prefix: an
# install under /usr/local still puts the rule where it takes effect.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(PARLOMAX_UDEV_RULES lib/udev/rules.d)
else()
  set(PARLOMAX_UDEV_RULES /usr/lib/udev/rules.d)
endif()
install(FILES ${PARLOMAX_PACKAGING}/udev/70-parlomax-telephone.rules DESTINATION ${PARLOMAX_UDEV_RULES})
install(FILES ${PARLOMAX_PACKAGING}/desktop/org.parlomax.Parlomax.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PARLOMAX_PACKAGING}/desktop/org.parlomax.Parlomax.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Drawn at the usual sizes too, for a desktop that draws no SVG.
foreach(size 16 32 48 64 128 256)
  install(FILES ${PARLOMAX_PACKAGING}/desktop/icons/org.parlomax.Parlomax-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME org.parlomax.Parlomax.png)
endforeach()
install(FILES ${PARLOMAX_GENERATED}/org.parlomax.Parlomax.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PARLOMAX_GENERATED}/parlomax.1.gz ${PARLOMAX_GENERATED}/parlomax-cli.1.gz
              ${PARLOMAX_GENERATED}/parlomax-phone.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PARLOMAX_GENERATED}/zh_CN/parlomax.1.gz ${PARLOMAX_GENERATED}/zh_CN/parlomax-cli.1.gz
              ${PARLOMAX_GENERATED}/zh_CN/parlomax-phone.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/zh_CN/man1)
# The nightly backup, for each user to turn on (systemctl --user enable).
install(FILES ${PARLOMAX_PACKAGING}/systemd/parlomax-backup.service ${PARLOMAX_PACKAGING}/systemd/parlomax-backup.timer
              ${PARLOMAX_PACKAGING}/systemd/parlomax-autocopy@.service
        DESTINATION lib/systemd/user)
install(FILES ${PARLOMAX_PACKAGING}/debian/copyright ${PARLOMAX_GENERATED}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/parlomax)
install(FILES ${PARLOMAX_PACKAGING}/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME parlomax)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parlomax)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Parlomax developers <developers@parlomax.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copy, play and convert the calls a recording telephone keeps")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Parlomax is the desktop companion of a telephone with a built-in call
recorder. With the telephone on the USB cable and its PIN, it lists the
recordings, copies them intact into files, plays them (pause, seek,
previous and next), converts them to WAV files and exports the list to a
spreadsheet. Its window speaks Simplified Chinese, as the telephone does.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The libraries the programs link, as dpkg-shlibdeps finds them; besides, a
# font for the Chinese texts and Qt's translations, without which the
# window shows boxes and English. The MP3 and Opus encoders are named as
# well: sharing a call must not hang on what dpkg-shlibdeps happens to see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n, libmp3lame0, libopusenc0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PARLOMAX_PACKAGING}/debian/postinst ${PARLOMAX_PACKAGING}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
