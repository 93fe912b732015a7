# Installs the build into a fresh prefix and checks the tree a desktop needs: the program in
# its own folder with its games beside it, a working link in bin, the icons at every size, the
# MIME types and a desktop entry that starts the installed program and passes validation.
# Run as: cmake -DBUILD_DIR=... -DPREFIX=... -DVALIDATE=<desktop-file-validate> -P this file
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(app "${PREFIX}/lib/bexulo-patcher")
set(expected "${app}/bexulo-patcher" "${app}/bexulo-cli" "${app}/games/games.json"
    "${PREFIX}/share/mime/packages/bexulo-patcher.xml"
    "${PREFIX}/share/applications/bexulo-patcher.desktop")
foreach(size 16 20 24 32 40 48 64 96 128 256)
  list(APPEND expected "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/bexulo-patcher.png")
endforeach()
foreach(path ${expected})
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

foreach(name bexulo-patcher bexulo-cli)
  file(REAL_PATH "${PREFIX}/bin/${name}" linked)
  file(REAL_PATH "${app}/${name}" program)
  if(NOT IS_SYMLINK "${PREFIX}/bin/${name}" OR NOT linked STREQUAL program)
    message(FATAL_ERROR "bin/${name} does not lead to ${program}")
  endif()
endforeach()
execute_process(COMMAND "${PREFIX}/bin/bexulo-cli" --version RESULT_VARIABLE result
                OUTPUT_VARIABLE version ERROR_QUIET)
if(NOT result EQUAL 0 OR NOT version MATCHES "^bexulo-cli ")
  message(FATAL_ERROR "the installed bexulo-cli does not run (${result}): ${version}")
endif()

set(desktop "${PREFIX}/share/applications/bexulo-patcher.desktop")
file(STRINGS "${desktop}" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=\"${PREFIX}/bin/bexulo-patcher\" %f")
  message(FATAL_ERROR "unexpected ${exec}")
endif()
file(READ "${desktop}" content)
string(REGEX MATCH "\nMimeType=[^\n]*" mime "${content}")
foreach(type application/x-nes-rom application/vnd.nintendo.snes.rom application/x-bps-patch
             application/x-ips-patch)
  string(FIND "${mime}" "${type};" found)
  if(found LESS 0)
    message(FATAL_ERROR "${type} missing from ${mime}")
  endif()
endforeach()

if(NOT VALIDATE)
  message(FATAL_ERROR "desktop-file-validate is not installed (package desktop-file-utils)")
endif()
execute_process(COMMAND "${VALIDATE}" "${desktop}" RESULT_VARIABLE result
                OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT result EQUAL 0 OR NOT report STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate (${result}): ${report}")
endif()
