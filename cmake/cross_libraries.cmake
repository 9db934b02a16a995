# What the cross-built editions (web, Windows) share: libraries from install prefixes outside
# the toolchain's own folders, and Boost's headers from the host.

# A static library found in one of `prefixes`, as an imported target; extra arguments are more
# include folders, @P@ standing for the prefix.
function(brimmel_prefix_library target file prefixes)
  foreach(prefix ${prefixes})
    if(EXISTS ${prefix}/lib/${file})
      add_library(${target} STATIC IMPORTED GLOBAL)
      string(REPLACE "@P@" ${prefix} dirs "${ARGN}")
      set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${prefix}/lib/${file}
        INTERFACE_INCLUDE_DIRECTORIES "${prefix}/include;${dirs}")
      # Not as system folders under Emscripten: it puts its own SDL 1 headers on the system path.
      if(EMSCRIPTEN)
        set_target_properties(${target} PROPERTIES IMPORTED_NO_SYSTEM TRUE)
      endif()
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "${file} is in none of ${prefixes}")
endfunction()

# Boost is used for its headers only: its own folder alone goes on the path, never the host's
# /usr/include as a whole.
find_path(BRIMMEL_BOOST_INCLUDE boost/shared_ptr.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)
set(BRIMMEL_BOOST_DIR ${CMAKE_BINARY_DIR}/boost-include)
file(MAKE_DIRECTORY ${BRIMMEL_BOOST_DIR})
file(CREATE_LINK ${BRIMMEL_BOOST_INCLUDE}/boost ${BRIMMEL_BOOST_DIR}/boost SYMBOLIC)
add_library(brimmel_boost INTERFACE)
target_include_directories(brimmel_boost SYSTEM INTERFACE ${BRIMMEL_BOOST_DIR})
target_compile_definitions(brimmel_boost INTERFACE BOOST_ALL_NO_LIB)
