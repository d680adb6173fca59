# The Debian package, built by CPack from the install rules (make deb).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevant)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Brevant developers")
set(CPACK_PACKAGE_CONTACT "The Brevant developers <developers@brevant.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "metronome with an exact, sample-clock beat")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.brevant.example/")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' packages come from dpkg-shlibdeps; the fonts are found at run time, so they
# are named here: DejaVu Sans is the face the program falls back to, and the Tahoma-compatible
# faces of fonts-wine are the ones it is drawn for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine")
# The extended description under the summary; CPack indents its lines and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brevant is a desktop metronome. It plays an accented click at a steady
tempo, from 40 to 240 beats per minute, with 1 to 9 beats per bar or no
accent at all, and shows the running beat on an animated dial.

Its timing comes from the sound card's sample clock alone: a whole bar is
rendered sample by sample and played as a loop, and a change of tempo, beats
or sound takes effect between two clicks, in step with the beat. It offers
two synthesised and two sampled click sounds, tap tempo, and a light and a
dark colour model.")

include(CPack)
