# Installing the program as a desktop application, and packaging it as a .deb (cpack -G DEB).
# One id names the desktop entry, the window class (WM_CLASS) the program gives its windows and
# the software-centre metadata, so the desktop groups the windows under the entry's icon.
set(HALCYON_APP_ID "org.halcyontv.Player")
target_compile_definitions(halcyon_app PRIVATE HALCYON_APP_ID="${HALCYON_APP_ID}")

include(GNUInstallDirs)
set(HALCYON_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/assets/desktop)

# Only the program: its pictures are compiled in, and the simulated box stays a development tool.
install(TARGETS halcyon-tv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The recorder and guide libraries, in the program's private folder, where it looks for them.
install(TARGETS halcyon-recorder halcyon-guide LIBRARY DESTINATION lib/halcyon-tv)
install(FILES ${HALCYON_DESKTOP_DIR}/${HALCYON_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${HALCYON_DESKTOP_DIR}/${HALCYON_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${HALCYON_DESKTOP_DIR}/icons/${size}x${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${HALCYON_APP_ID}.png)
endforeach()

set(CPACK_PACKAGE_NAME halcyon-tv)
set(CPACK_PACKAGE_VENDOR "Halcyon TV")
set(CPACK_PACKAGE_CONTACT "Halcyon TV <halcyon-tv@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Watch the channels of your set-top box")
set(CPACK_PACKAGE_DESCRIPTION
    "Halcyon TV shows the television channels that a set-top box serves on the home network as \
RTSP streams, one live channel at a time, in a small skinned window with a French interface. The \
channels come from a playlist.m3u in the folder it starts in.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so no library link names them: the elements that fetch, demultiplex, decode
# and show the box's streams (rtspsrc in -good, tsdemux and the parsers in -bad, the MPEG audio
# decoders in -ugly and -libav, the X sinks and text overlay in -x, sound through ALSA), and fonts
# standing in for the skin's.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, \
gstreamer1.0-plugins-ugly, gstreamer1.0-libav, gstreamer1.0-x, gstreamer1.0-alsa, \
fonts-dejavu-core, fonts-liberation")
include(CPack)
