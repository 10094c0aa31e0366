# Release packages, made with CPack from an installed build:
#   cpack -G DEB   Debian package: /usr/bin/Tintwise, tintwise-palette,
#                  tintwise-lights and tintwise-gamut,
#                  their manual pages, the one-file web page under
#                  /usr/share/tintwise, the library (multiarch), headers and
#                  CMake package, README and its reference (docs/),
#                  copyright and changelog;
#   cpack -G TGZ   the same tree as a relocatable archive;
#   cpack -G ZIP   (Windows builds) Tintwise.exe, tintwise-palette.exe, tintwise-lights.exe,
#                  tintwise-gamut.exe, tintwise.html, README.txt, docs/ and LICENSE.txt, as
#                  tintwise-VERSION-win32.zip or -win64.zip; and the library,
#                  headers and CMake package apart, as
#                  tintwise-VERSION-win32-dev.zip or -win64-dev.zip.
set(CPACK_PACKAGE_NAME tintwise)
set(CPACK_PACKAGE_VENDOR "the Tintwise developers")
set(CPACK_PACKAGE_CONTACT "${TINTWISE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exact nearest colour of Unreal's HSB colour space for an RGB colour")
# Lines of at most 80 characters, as Debian's tools display them.
set(CPACK_PACKAGE_DESCRIPTION
  "Tintwise converts an RGB colour into the nearest hue, saturation and\n"
  "brightness of Unreal's HSB colour model, exactly as a search of all\n"
  "16,711,680 triples would, and reports how far the match lies and which RGB\n"
  "colour it renders. tintwise-palette converts whole palette files (GIMP,\n"
  "JASC, Paint.NET, Adobe .ase, .aco and .act, Windows RIFF, LibreOffice,\n"
  "Scribus, indexed PNG, GIF, BMP and PCX, hex lists, CSS, or the colours\n"
  "written in any text) to CSV, JSON Lines, GIMP palettes or text.\n"
  "tintwise-lights lists the lights of UnrealEd's T3D text and maps, or\n"
  "recolours the text with nothing else changed. tintwise-gamut draws the\n"
  "lights' own colours as an exact chart, swatches and lookup tables (.cube,\n"
  "HALD CLUT, ReShade). The package also holds the same tools as one\n"
  "self-contained web page, the manual pages, and the C++ library with its\n"
  "headers and CMake package (find_package(Tintwise)).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build.*/" "/node_modules/")

# Debian: the tool is linked statically and the library is a static archive,
# so nothing is needed at run time; no shlibdeps, no Depends.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TINTWISE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # tintwise_0.1_amd64.deb, installed under /usr
if(NOT CPACK_GENERATOR)
  set(CPACK_GENERATOR TGZ)
endif()
# The packages carry the programs and the library; the Python package
# (component python) installs into a Python of the user's, through pip or
# cmake --install, and stays out of them.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};Tintwise;tool;/" "${PROJECT_BINARY_DIR};Tintwise;development;/")

if(WIN32)
  # The Windows archive is for people who run the tools: that component alone,
  # flat, named after the release; the developers' component in one of its own.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};Tintwise;ALL;/") # every component, each packaged apart
  set(CPACK_COMPONENTS_ALL tool development)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING IGNORE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(windows win64)
  else()
    set(windows win32)
  endif()
  set(CPACK_ARCHIVE_TOOL_FILE_NAME tintwise-${PROJECT_VERSION}-${windows})
  set(CPACK_ARCHIVE_DEVELOPMENT_FILE_NAME tintwise-${PROJECT_VERSION}-${windows}-dev)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
include(CPack)
