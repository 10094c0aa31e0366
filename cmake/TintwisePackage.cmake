# Release packages, made with CPack from an installed build:
#   cpack -G DEB   Debian package: /usr/bin/Tintwise, the man page, the
#                  library, headers and CMake package, README and licence;
#   cpack -G TGZ   the same tree as a relocatable archive;
#   cpack -G ZIP   (32-bit Windows build) Tintwise.exe, README and licence.
set(CPACK_PACKAGE_NAME tintwise)
set(CPACK_PACKAGE_VENDOR "the Tintwise developers")
set(CPACK_PACKAGE_CONTACT "the Tintwise developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exact nearest colour of Unreal's HSB colour space for an RGB colour")
set(CPACK_PACKAGE_DESCRIPTION
  "Tintwise converts an RGB colour into the nearest hue, saturation and brightness of\n"
  "Unreal's HSB colour model, exactly as a search of all 16,711,680 triples would,\n"
  "and reports how far the match lies and which RGB colour it renders. The package\n"
  "holds the command-line tool, its manual page, and the C++ library with its\n"
  "headers and CMake package (find_package(Tintwise), target Tintwise::colour).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build.*/" "/node_modules/")

# Debian: the tool is linked statically and the library is a static archive,
# so nothing is needed at run time; no shlibdeps, no Depends.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the Tintwise developers")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # tintwise_0.1_amd64.deb, installed under /usr
if(NOT CPACK_GENERATOR)
  set(CPACK_GENERATOR TGZ)
endif()

if(WIN32)
  # The Windows archive is for people who run the tool: only that component,
  # flat, in one archive named after the release.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_COMPONENTS_ALL tool)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_PACKAGE_FILE_NAME tintwise-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
include(CPack)
