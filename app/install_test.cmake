# Installs the build into a scratch prefix and checks that the program, its
# desktop entry (with the Chinese name) and both icon sizes arrive.
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(
  COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${SCRATCH}"
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file
    bin/velk-seed-finder
    share/applications/velk-seed-finder.desktop
    share/icons/hicolor/32x32/apps/velk-seed-finder.png
    share/icons/hicolor/48x48/apps/velk-seed-finder.png)
  if(NOT EXISTS "${SCRATCH}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ "${SCRATCH}/share/applications/velk-seed-finder.desktop" entry)
if(NOT entry MATCHES "\nName=VELK种子搜索器\n")
  message(FATAL_ERROR "the desktop entry lacks the Chinese name")
endif()
if(NOT entry MATCHES "\nExec=velk-seed-finder\n" OR
   NOT entry MATCHES "\nIcon=velk-seed-finder\n")
  message(FATAL_ERROR "the desktop entry does not start the program")
endif()
find_program(validate desktop-file-validate)
if(validate)
  execute_process(COMMAND ${validate}
    "${SCRATCH}/share/applications/velk-seed-finder.desktop"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate rejects the entry")
  endif()
endif()
# Each icon is a PNG of its size: width and height sit at bytes 16 and 20.
foreach(size 32 48)
  file(READ "${SCRATCH}/share/icons/hicolor/${size}x${size}/apps/velk-seed-finder.png"
    header LIMIT 26 HEX)
  string(SUBSTRING "${header}" 32 8 width)
  string(SUBSTRING "${header}" 40 8 height)
  string(SUBSTRING "${header}" 48 4 depth)
  math(EXPR w "0x${width}")
  math(EXPR h "0x${height}")
  if(NOT w EQUAL size OR NOT h EQUAL size)
    message(FATAL_ERROR "icon ${size}: the image is ${w} x ${h}")
  endif()
  # Bit depth 8 and colour type 6: 8-bit RGBA, 32 bits a pixel.
  if(NOT depth STREQUAL "0806")
    message(FATAL_ERROR "icon ${size}: not 32-bit colour (${depth})")
  endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
