# SPDX-License-Identifier: MIT
# The browser build (emcmake): the reader and the listing as WebAssembly,
# run in a Web Worker, and the page around it, all in site/ of the build
# folder. The wasm is embedded in the worker's script, deflated, so that the
# folder works from file:// as well as from any static host.

# Exhausted memory is caught and reported as on the command line, so
# exceptions must work in wasm too: with wasm's own exceptions, which cost no
# call out to JS per guarded call, as emscripten's emulation does. Built for
# size: the page's time goes to reading files, and every format the reader
# learns is downloaded with the page.
target_compile_options(tamrik_core PUBLIC -fwasm-exceptions -Os)

add_executable(tamrik_web src/web/tamrik_web.cpp src/web/tamrik_web_files.cpp)
target_link_libraries(tamrik_web PRIVATE tamrik_core tamrik_io)
target_compile_options(tamrik_web PRIVATE ${TAMRIK_WARNINGS})
target_link_options(tamrik_web PRIVATE
  -fwasm-exceptions
  -Os
  -sENVIRONMENT=web,worker
  -sFILESYSTEM=0
  -sALLOW_MEMORY_GROWTH=1
  -sINITIAL_MEMORY=4MB
  -sTOTAL_STACK=256KB
  -sEXPORTED_FUNCTIONS=_tamrikNameBuffer,_tamrikList,_tamrikLayout,_tamrikOutput,_tamrikLineEnds,_tamrikLineCount,_tamrikWords,_tamrikWordCount,_tamrikTexts,_tamrikTextSize,_tamrikNote,_tamrikNoteSize,_tamrikFaults,_tamrikFaultsSize,_tamrikFile,_tamrikFileHold,_tamrikFileBytes,_tamrikFileSize,_tamrikFileName,_tamrikFileNameSize,_tamrikFileIsText,_tamrikFileNote,_tamrikFileNoteSize
)
# emcc's JS optimizer needs acorn, which a node that is not Debian's does
# not find by itself.
set_property(TARGET tamrik_web PROPERTY RULE_LAUNCH_LINK
             "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")

# The worker's script: the messages' definitions, its own code and the
# compiled module, inside one function that the page turns into a Blob,
# with the zip reader's, because Chromium starts no Worker from a file://
# script.
set(TAMRIK_SITE ${CMAKE_BINARY_DIR}/site)
set(TAMRIK_WEB_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/src/web)
find_program(TAMRIK_NODE NAMES node nodejs REQUIRED)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/tamrik_module.js
  COMMAND ${TAMRIK_NODE} ${TAMRIK_WEB_SOURCE}/pack_wasm.mjs $<TARGET_FILE_DIR:tamrik_web>/tamrik_web.wasm
          $<TARGET_FILE_DIR:tamrik_web>/tamrik_web.js ${CMAKE_BINARY_DIR}/tamrik_module.js
  DEPENDS tamrik_web ${TAMRIK_WEB_SOURCE}/pack_wasm.mjs
  VERBATIM)
add_custom_command(
  OUTPUT ${TAMRIK_SITE}/worker.js
  COMMAND ${CMAKE_COMMAND} -DPROTOCOL=${TAMRIK_WEB_SOURCE}/protocol.js
          -DWORKER=${TAMRIK_WEB_SOURCE}/worker.js
          -DMODULE=${CMAKE_BINARY_DIR}/tamrik_module.js -DOUT=${TAMRIK_SITE}/worker.js
          -P ${TAMRIK_WEB_SOURCE}/wrap_worker.cmake
  DEPENDS ${CMAKE_BINARY_DIR}/tamrik_module.js ${TAMRIK_WEB_SOURCE}/protocol.js ${TAMRIK_WEB_SOURCE}/worker.js
          ${TAMRIK_WEB_SOURCE}/wrap_worker.cmake
  VERBATIM)

add_custom_command(
  OUTPUT ${TAMRIK_SITE}/sample.js
  COMMAND ${CMAKE_COMMAND} -DSAMPLE=${CMAKE_CURRENT_SOURCE_DIR}/samples/sample.lif
          -DOUT=${TAMRIK_SITE}/sample.js -P ${TAMRIK_WEB_SOURCE}/wrap_sample.cmake
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/samples/sample.lif ${TAMRIK_WEB_SOURCE}/wrap_sample.cmake
  VERBATIM)

set(TAMRIK_SITE_FILES ${TAMRIK_SITE}/sample.js)
foreach(file index.html tamrik.css protocol.js states.js shown.js zip.js collect.js pool.js
             fields.js directory.js overview.js catalogue.js export.js zipwrite.js
             fileview.js page.js)
  add_custom_command(
    OUTPUT ${TAMRIK_SITE}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${TAMRIK_WEB_SOURCE}/${file} ${TAMRIK_SITE}/${file}
    DEPENDS ${TAMRIK_WEB_SOURCE}/${file}
    VERBATIM)
  list(APPEND TAMRIK_SITE_FILES ${TAMRIK_SITE}/${file})
endforeach()
add_custom_target(tamrik_site ALL DEPENDS ${TAMRIK_SITE}/worker.js ${TAMRIK_SITE_FILES})
