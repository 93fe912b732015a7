# The command-line tool is started many times in a row by scripts (a patch applied to each ROM
# of a folder), so a release links into it the libraries that come as static archives, and the
# C++ runtime: starting it then maps and relocates four shared libraries instead of thirteen.
# The window, the tests and the sanitizer builds link them shared. The choice is made per
# program: tbp_core's link interface reads TBP_STATIC_LIBRARIES of the program it goes into.
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT TBP_SANITIZE AND NOT TBP_FUZZ)
  set(TBP_STATIC_DEFAULT ON)
else()
  set(TBP_STATIC_DEFAULT OFF)
endif()
option(TBP_STATIC_CLI "Link bexulo-cli's libraries statically where archives exist"
       ${TBP_STATIC_DEFAULT})

# Every archive of the list in TBP_STATIC_ARCHIVES, or nothing when one is missing.
function(tbp_find_archives)
  set(found)
  foreach(name FLAC vorbisfile vorbis ogg fftw3f crypto)
    find_library(TBP_ARCHIVE_${name} NAMES lib${name}.a)
    if(NOT TBP_ARCHIVE_${name})
      message(STATUS "lib${name}.a not found: bexulo-cli links its libraries shared")
      set(TBP_STATIC_ARCHIVES "" PARENT_SCOPE)
      return()
    endif()
    list(APPEND found ${TBP_ARCHIVE_${name}})
  endforeach()
  set(TBP_STATIC_ARCHIVES ${found} PARENT_SCOPE)
endfunction()

# Links target (tbp_core) with the shared libraries, or, in a program that asks for them, with
# the archives in their place (libmpg123 and libebur128 come without archives).
function(tbp_core_link_libraries target)
  set(shared ${ARGN})
  set(TBP_STATIC_ARCHIVES)
  if(TBP_STATIC_CLI)
    tbp_find_archives()
  endif()
  if(NOT TBP_STATIC_ARCHIVES)
    target_link_libraries(${target} PUBLIC ${shared})
    return()
  endif()
  find_package(Threads REQUIRED)
  set(static PkgConfig::MPG123 PkgConfig::EBUR128 ${TBP_STATIC_ARCHIVES} Threads::Threads
      ${CMAKE_DL_LIBS} m)
  set(wanted "$<BOOL:$<TARGET_PROPERTY:TBP_STATIC_LIBRARIES>>")
  string(REPLACE ";" "$<SEMICOLON>" shared_items "${shared}")
  string(REPLACE ";" "$<SEMICOLON>" static_items "${static}")
  target_link_libraries(${target} PUBLIC "$<IF:${wanted},${static_items},${shared_items}>")
  set(TBP_STATIC_LINKING ON PARENT_SCOPE)
endfunction()

# Asks for the archives and the static C++ runtime in program target, when they exist.
function(tbp_link_statically target)
  if(TBP_STATIC_LINKING)
    set_target_properties(${target} PROPERTIES TBP_STATIC_LIBRARIES ON)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
