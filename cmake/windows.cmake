# The Windows edition, cross-built with MinGW-w64 (cmake/mingw-w64.cmake). The libraries come
# from scripts/windows-deps (BRIMMEL_WINDOWS_PREFIXES, one static install prefix each); the host
# tools, the data tree and the icon pictures come from a native build (BRIMMEL_HOST_BUILD).
set(BRIMMEL_WINDOWS_PREFIXES "" CACHE STRING "Install prefixes of the cross-built libraries")
set(BRIMMEL_HOST_BUILD "" CACHE PATH "A native build tree with xfile_template_encoder, game/data and the icons")
if(NOT BRIMMEL_WINDOWS_PREFIXES OR NOT EXISTS "${BRIMMEL_HOST_BUILD}/game/data")
  message(FATAL_ERROR "the Windows build needs BRIMMEL_WINDOWS_PREFIXES and BRIMMEL_HOST_BUILD (scripts/windows sets them)")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/cross_libraries.cmake)
brimmel_prefix_library(win_zlib libz.a "${BRIMMEL_WINDOWS_PREFIXES}")
brimmel_prefix_library(win_jpeg libjpeg.a "${BRIMMEL_WINDOWS_PREFIXES}")
brimmel_prefix_library(win_png libpng16.a "${BRIMMEL_WINDOWS_PREFIXES}")
brimmel_prefix_library(win_freetype libfreetype.a "${BRIMMEL_WINDOWS_PREFIXES}" @P@/include/freetype2)
brimmel_prefix_library(win_sdl2 libSDL2.a "${BRIMMEL_WINDOWS_PREFIXES}" @P@/include/SDL2)
brimmel_prefix_library(win_openal libOpenAL32.a "${BRIMMEL_WINDOWS_PREFIXES}")
brimmel_prefix_library(win_epoxy libepoxy.a "${BRIMMEL_WINDOWS_PREFIXES}")
# What the static libraries need of Windows itself.
set_property(TARGET win_sdl2 PROPERTY INTERFACE_LINK_LIBRARIES
  user32 gdi32 winmm imm32 ole32 oleaut32 version uuid advapi32 setupapi shell32 dinput8)
set_property(TARGET win_openal PROPERTY INTERFACE_LINK_LIBRARIES winmm ole32 avrt)
set_property(TARGET win_openal PROPERTY INTERFACE_COMPILE_DEFINITIONS AL_LIBTYPE_STATIC)
set_property(TARGET win_png PROPERTY INTERFACE_LINK_LIBRARIES win_zlib)
set_property(TARGET win_freetype PROPERTY INTERFACE_LINK_LIBRARIES win_zlib)
find_package(Threads REQUIRED)
set(BRIMMEL_WINDOWS_PLATFORM_LIBS win_sdl2 win_openal win_epoxy win_freetype win_png win_jpeg win_zlib Threads::Threads)
add_library(ZLIB::ZLIB ALIAS win_zlib)

# MinGW's C library offers the reentrant time calls (localtime_r) under this name.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)
# Our printf-style functions format through MinGW's C99 printf (libstdc++ turns it on), but GCC
# checks a plain printf attribute against Microsoft's older rules (no %zu, %lld): the format
# checks are the Linux build's to make.
add_compile_options(-Wno-format)

# One program with no DLLs beside it, without its symbol tables.
add_link_options(-static -static-libgcc -static-libstdc++ -s)

find_file(BRIMMEL_WINDOWS_FONT ipag.ttf PATHS /usr/share/fonts/opentype/ipafont-gothic NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)
find_file(BRIMMEL_WINDOWS_FONT_LICENCE copyright PATHS /usr/share/doc/fonts-ipafont-gothic NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)
find_program(BRIMMEL_CONVERT convert REQUIRED)
find_program(BRIMMEL_ZIP zip REQUIRED)
find_program(BRIMMEL_MAKENSIS makensis REQUIRED)

# The game: BRIMMEL.exe with its icon and version information, and the folder players unzip.
function(brimmel_windows_game target)
  set(res ${CMAKE_BINARY_DIR}/resources)
  file(MAKE_DIRECTORY ${res})
  set(icons)
  foreach(size 48 128 256)
    list(APPEND icons ${BRIMMEL_HOST_BUILD}/packaging/icons/${size}x${size}/brimmel.png)
  endforeach()
  add_custom_command(OUTPUT ${res}/brimmel.ico
    COMMAND ${BRIMMEL_CONVERT} ${icons} -define icon:auto-resize=256,128,48,32,16 ${res}/brimmel.ico
    DEPENDS ${icons}
    COMMENT "Making the program's icon")
  set(BRIMMEL_RC_VERSION "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/brimmel.rc.in ${res}/brimmel.rc @ONLY)
  set_source_files_properties(${res}/brimmel.rc PROPERTIES OBJECT_DEPENDS ${res}/brimmel.ico)
  target_sources(${target} PRIVATE ${res}/brimmel.rc)
  target_link_options(${target} PRIVATE -mwindows)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME BRIMMEL)

  # The folder as players get it, and its zip.
  set(name BRIMMEL-${PROJECT_VERSION}-win64)
  set(stage ${CMAKE_BINARY_DIR}/dist/${name})
  set(zip ${CMAKE_BINARY_DIR}/dist/${name}.zip)
  add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/fonts
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${CMAKE_SOURCE_DIR}/TORIDEN.ini ${stage}/
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${BRIMMEL_HOST_BUILD}/game/data ${stage}/data
    COMMAND ${CMAKE_COMMAND} -E rm -f ${stage}/data/.generated
    COMMAND ${CMAKE_COMMAND} -E copy ${BRIMMEL_WINDOWS_FONT} ${stage}/fonts/ipag.ttf
    COMMAND ${CMAKE_COMMAND} -E copy ${BRIMMEL_WINDOWS_FONT_LICENCE} ${stage}/fonts/IPA_Font_License.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/windows/README.txt ${stage}/README.txt
    # Stored names and times only: the same tree gives the same zip.
    COMMAND find ${name} -exec touch -h -d 2026-12-08T00:00:00Z {} +
    COMMAND find ${name} -type f | LC_ALL=C sort | ${BRIMMEL_ZIP} -q -X -9 ${zip} -@
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/dist
    DEPENDS ${target} ${BRIMMEL_HOST_BUILD}/game/data/.generated ${CMAKE_SOURCE_DIR}/TORIDEN.ini
      ${CMAKE_SOURCE_DIR}/packaging/windows/README.txt
    COMMENT "Packing ${name}.zip")
  add_custom_target(windows_zip ALL DEPENDS ${zip})

  # The setup program, from the same folder (packaging/windows/brimmel.nsi says what it does).
  set(setup ${CMAKE_BINARY_DIR}/dist/${name}-setup.exe)
  set(nsi ${CMAKE_SOURCE_DIR}/packaging/windows/brimmel.nsi)
  # The finish page's picture (164x314, as the wizard takes it): the title's bear under the moon.
  set(title ${BRIMMEL_HOST_BUILD}/game/data/image/title.jpg)
  add_custom_command(OUTPUT ${res}/wizard.bmp
    COMMAND ${BRIMMEL_CONVERT} ${title} -crop 150x287+318+193 +repage -resize 164x314! -type TrueColor
      BMP3:${res}/wizard.bmp
    DEPENDS ${BRIMMEL_HOST_BUILD}/game/data/.generated
    COMMENT "Making the setup program's picture")
  # What it installs, file by file: it keeps that list for its uninstaller as it writes.
  set(files ${res}/setup_files.nsh)
  set(lister ${CMAKE_SOURCE_DIR}/packaging/windows/setup_files.cmake)
  add_custom_command(OUTPUT ${setup}
    COMMAND ${CMAKE_COMMAND} -DSTAGE=${stage} -DOUT=${files} -P ${lister}
    COMMAND ${BRIMMEL_MAKENSIS} -V2 -WX -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION} -DSTAGE=${stage}
      -DFILES=${files} -DICON=${res}/brimmel.ico -DWIZARD=${res}/wizard.bmp -DOUTFILE=${setup} ${nsi}
    DEPENDS ${zip} ${nsi} ${lister} ${res}/brimmel.ico ${res}/wizard.bmp
    COMMENT "Making ${name}-setup.exe")
  add_custom_target(windows_setup ALL DEPENDS ${setup})
endfunction()
