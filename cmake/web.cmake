# The browser edition under Emscripten. The libraries Debian ships only for the host come from
# scripts/web-deps (BRIMMEL_WEB_PREFIXES, one install prefix each); the host tools and the data
# tree come from a native build of the same sources (BRIMMEL_HOST_BUILD).
set(BRIMMEL_WEB_PREFIXES "" CACHE STRING "Install prefixes of the cross-built libraries")
set(BRIMMEL_HOST_BUILD "" CACHE PATH "A native build tree with xfile_template_encoder and game/data")
if(NOT BRIMMEL_WEB_PREFIXES OR NOT EXISTS "${BRIMMEL_HOST_BUILD}/game/data")
  message(FATAL_ERROR "the web build needs BRIMMEL_WEB_PREFIXES and BRIMMEL_HOST_BUILD (scripts/web sets them)")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/cross_libraries.cmake)
brimmel_prefix_library(web_zlib libz.a "${BRIMMEL_WEB_PREFIXES}")
brimmel_prefix_library(web_jpeg libjpeg.a "${BRIMMEL_WEB_PREFIXES}")
brimmel_prefix_library(web_png libpng16.a "${BRIMMEL_WEB_PREFIXES}")
brimmel_prefix_library(web_freetype libfreetype.a "${BRIMMEL_WEB_PREFIXES}" @P@/include/freetype2)
brimmel_prefix_library(web_sdl2 libSDL2.a "${BRIMMEL_WEB_PREFIXES}" @P@/include/SDL2)
set(BRIMMEL_WEB_PLATFORM_LIBS web_sdl2 web_freetype web_png web_jpeg web_zlib)
add_library(ZLIB::ZLIB ALIAS web_zlib)

find_program(BRIMMEL_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
find_file(BRIMMEL_WEB_FONT ipag.ttf PATHS /usr/share/fonts/opentype/ipafont-gothic NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# The site (build-web/site/): our page and its service worker, the game's script and module, the
# packed data and the music, every file but the page and the worker named after its content
# (web/make_site.py). What the steps make goes to build-web/stage/ first.
function(brimmel_web_game target)
  set(stage ${CMAKE_BINARY_DIR}/stage)
  set(site ${CMAKE_BINARY_DIR}/site)
  file(MAKE_DIRECTORY ${stage})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${stage} SUFFIX ".js")
  target_link_options(${target} PRIVATE
    -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864
    -sTOTAL_STACK=8388608
    -sFORCE_FILESYSTEM=1 -sINVOKE_RUN=0 -sEXIT_RUNTIME=0 -sENVIRONMENT=web
    "-sEXPORTED_RUNTIME_METHODS=['callMain','FS_createPath','FS_createDataFile','FS_createPreloadedFile','addRunDependency','removeRunDependency','UTF8ToString','FS']" -lopenal -lidbfs.js
    --post-js ${CMAKE_SOURCE_DIR}/src/platform/audio/al_distance_web.js)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/audio/al_distance_web.js)
  # The face holds only the glyphs the game can draw (the whole face is most of the download).
  file(GLOB_RECURSE game_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h)
  set(face ${stage}/ipag-web.ttf)
  add_custom_command(OUTPUT ${face}
    COMMAND ${BRIMMEL_PYTHON} ${CMAKE_SOURCE_DIR}/web/subset_font.py ${BRIMMEL_WEB_FONT} ${face} ${CMAKE_SOURCE_DIR}/src
    DEPENDS ${CMAKE_SOURCE_DIR}/web/subset_font.py ${game_sources}
    COMMENT "Cutting the font down to the game's glyphs")
  # The data tree, the settings file and the font, packed into one download.
  set(pack ${stage}/brimmel.data)
  add_custom_command(OUTPUT ${pack} ${stage}/brimmel-data.js
    COMMAND ${CMAKE_COMMAND} -E env EM_CONFIG=$ENV{EM_CONFIG}
      ${BRIMMEL_PYTHON} ${EMSCRIPTEN_ROOT_PATH}/tools/file_packager.py ${pack}
      --preload ${BRIMMEL_HOST_BUILD}/game/data@/data ${CMAKE_SOURCE_DIR}/TORIDEN.ini@/TORIDEN.ini
      ${face}@/fonts/ipag.ttf --js-output=${stage}/brimmel-data.js --exclude "*/.generated"
      --exclude "*/wav/bgm_*.wav"
    DEPENDS ${BRIMMEL_HOST_BUILD}/game/data/.generated ${CMAKE_SOURCE_DIR}/TORIDEN.ini ${face}
    COMMENT "Packing the data tree for the browser")
  # The music goes beside the pack as MP3; the page turns it back into WAVE files.
  set(music_dir ${stage}/music)
  add_custom_command(OUTPUT ${music_dir}/index.json
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${music_dir}
    COMMAND ${BRIMMEL_PYTHON} ${CMAKE_SOURCE_DIR}/web/pack_music.py ${music_dir}
      ${BRIMMEL_HOST_BUILD}/game/data/wav /data/wav "bgm_*.wav"
    DEPENDS ${BRIMMEL_HOST_BUILD}/game/data/.generated ${CMAKE_SOURCE_DIR}/web/pack_music.py
    COMMENT "Packing the music for the browser")
  # The page's icons are the desktop icon, drawn by the host's content generator.
  add_custom_command(OUTPUT ${stage}/icons/48x48/brimmel.png ${stage}/icons/512x512/brimmel.png
    COMMAND ${BRIMMEL_HOST_BUILD}/tools/assetgen --icons ${stage}/icons 48 128 192 256 512
    DEPENDS ${BRIMMEL_HOST_BUILD}/tools/assetgen
    COMMENT "Drawing the page's icons")
  set(pages ${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_SOURCE_DIR}/web/page.js ${CMAKE_SOURCE_DIR}/web/page.css
    ${CMAKE_SOURCE_DIR}/web/sw.js ${CMAKE_SOURCE_DIR}/web/make_site.py)
  add_custom_command(OUTPUT ${site}/index.html ${site}/sw.js
    COMMAND ${BRIMMEL_PYTHON} ${CMAKE_SOURCE_DIR}/web/make_site.py ${stage} ${CMAKE_SOURCE_DIR}/web ${site}
    DEPENDS ${target} ${pack} ${music_dir}/index.json ${stage}/icons/512x512/brimmel.png ${pages}
    COMMENT "Assembling the site")
  add_custom_target(web_site ALL DEPENDS ${site}/index.html)
endfunction()
