# The Debian package, made by CPack from the install rules (scripts/package.sh builds it
# with the "package" preset, prefix /usr).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumiveil-maker)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumiveil developer <dev@lumiveil.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hide one picture inside another")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Lumiveil Maker interleaves a visible and a hidden picture in a one-pixel\n"
  "checkerboard: the even cells carry the visible picture unchanged, the odd\n"
  "cells the hidden picture with its tones squeezed into a narrow band set by\n"
  "two sliders. Seen normally the result looks like the visible picture;\n"
  "darkened or brightened, it shows the hidden one.\n"
  ".\n"
  "The package holds the window lumiveil-maker, the command-line tool lumiveil\n"
  "for scripts and batch work, and Susie import plug-ins for PNG, JPEG and GIF\n"
  "pictures; BMP pictures are read without a plug-in.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${LUMIVEIL_HOMEPAGE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The dependencies come from dpkg-shlibdeps on the programs and plug-ins as built, run by
# cpack through the project config file below. CPack's own shlibdeps switch is not used:
# it takes any shared object under /usr/lib (here the plug-ins in /usr/lib/susie, which
# are opened with dlopen and are no libraries of the linker's path) as a reason to run
# ldconfig from generated maintainer scripts.
set(LUMIVEIL_PACKAGE_BINARIES $<TARGET_FILE:lumiveil> $<TARGET_FILE:spi_png>
    $<TARGET_FILE:spi_jpeg> $<TARGET_FILE:spi_gif>)
if(LUMIVEIL_BUILD_GUI)
  list(APPEND LUMIVEIL_PACKAGE_BINARIES $<TARGET_FILE:lumiveil-maker>)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake.in
  ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake.gen @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake
  INPUT ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake.gen)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake)
include(CPack)
