# SPDX-License-Identifier: GPL-3.0-or-later
# What the Windows Qt is built with: Core, Gui, Widgets and Test with the
# plugins the game loads, every library Qt can bundle taken from Qt's own
# source, everything else off. Read by build-qt.sh with `cmake -C`; a change
# here builds Qt afresh.
set(CMAKE_BUILD_TYPE Release CACHE STRING "")
set(BUILD_SHARED_LIBS ON CACHE BOOL "")
set(QT_BUILD_EXAMPLES OFF CACHE BOOL "")
set(QT_BUILD_TESTS OFF CACHE BOOL "")
set(QT_BUILD_BENCHMARKS OFF CACHE BOOL "")
foreach(feature sql network dbus printsupport concurrent xml opengl vulkan
        tabletevent icu zstd gif jpeg system_freetype system_zlib system_png
        system_pcre2 system_harfbuzz system_doubleconversion)
  set(FEATURE_${feature} OFF CACHE BOOL "")
endforeach()
# FEATURE_opengl alone leaves dynamic OpenGL on. (tabletevent: Debian's
# source drops wintab.)
set(INPUT_opengl no CACHE STRING "")
# The offscreen platform of the tests draws text through FreeType.
set(FEATURE_freetype ON CACHE BOOL "")
