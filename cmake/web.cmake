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

# The site: our page, the game's script and module, the packed data; each also gzip-compressed
# for servers that send files as stored.
function(brimmel_web_game target)
  set(site ${CMAKE_BINARY_DIR}/site)
  file(MAKE_DIRECTORY ${site})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${site} SUFFIX ".js")
  target_link_options(${target} PRIVATE
    -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864
    -sTOTAL_STACK=8388608
    -sFORCE_FILESYSTEM=1 -sINVOKE_RUN=0 -sEXIT_RUNTIME=0 -sENVIRONMENT=web
    "-sEXPORTED_RUNTIME_METHODS=['callMain','FS_createPath','FS_createDataFile','FS_createPreloadedFile','addRunDependency','removeRunDependency','UTF8ToString']" -lopenal)
  # The data tree, the settings file and the font, packed into one download.
  set(pack ${site}/brimmel.data)
  add_custom_command(OUTPUT ${pack} ${site}/brimmel-data.js
    COMMAND ${CMAKE_COMMAND} -E env EM_CONFIG=$ENV{EM_CONFIG}
      ${BRIMMEL_PYTHON} ${EMSCRIPTEN_ROOT_PATH}/tools/file_packager.py ${pack}
      --preload ${BRIMMEL_HOST_BUILD}/game/data@/data ${CMAKE_SOURCE_DIR}/TORIDEN.ini@/TORIDEN.ini
      ${BRIMMEL_WEB_FONT}@/fonts/ipag.ttf --js-output=${site}/brimmel-data.js --exclude "*/.generated"
      --exclude "*/wav/bgm_*.wav"
    COMMAND gzip -9 -n -k -f ${pack} ${site}/brimmel-data.js
    DEPENDS ${BRIMMEL_HOST_BUILD}/game/data/.generated ${CMAKE_SOURCE_DIR}/TORIDEN.ini
    COMMENT "Packing the data tree for the browser")
  # The music goes beside the pack, in a form gzip compresses well (page.js undoes it).
  set(music_dir ${site}/music)
  add_custom_command(OUTPUT ${music_dir}/index.json
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${music_dir}
    COMMAND ${BRIMMEL_PYTHON} ${CMAKE_SOURCE_DIR}/web/pack_music.py ${music_dir}
      ${BRIMMEL_HOST_BUILD}/game/data/wav /data/wav "bgm_*.wav"
    COMMAND sh -c "gzip -9 -n -k -f ${music_dir}/*.d4 ${music_dir}/index.json"
    DEPENDS ${BRIMMEL_HOST_BUILD}/game/data/.generated ${CMAKE_SOURCE_DIR}/web/pack_music.py
    COMMENT "Packing the music for the browser")
  set(pages ${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_SOURCE_DIR}/web/page.js ${CMAKE_SOURCE_DIR}/web/page.css)
  add_custom_command(OUTPUT ${site}/index.html
    COMMAND ${CMAKE_COMMAND} -E copy ${pages} ${site}/
    COMMAND gzip -9 -n -k -f ${site}/index.html ${site}/page.js ${site}/page.css
    DEPENDS ${pages}
    COMMENT "Copying the page")
  # The page's icon is the desktop icon, drawn by the host's content generator.
  add_custom_command(OUTPUT ${site}/icon.png
    COMMAND ${BRIMMEL_HOST_BUILD}/tools/assetgen --icons ${CMAKE_CURRENT_BINARY_DIR}/icons
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_BINARY_DIR}/icons/48x48/brimmel.png ${site}/icon.png
    DEPENDS ${BRIMMEL_HOST_BUILD}/tools/assetgen
    COMMENT "Drawing the page's icon")
  add_custom_target(web_site ALL DEPENDS ${pack} ${music_dir}/index.json ${site}/index.html ${site}/icon.png)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND gzip -9 -n -k -f ${site}/${target}.js ${site}/${target}.wasm)
endfunction()
