# The program as a page: morvane.js and morvane.wasm beside the site's
# files in build/web/site/. ASYNCIFY at its defaults lets the blocking
# loop, the modal boxes and the swap suspend the program (narrowing it drew
# every frame twice); the heap grows for the wire frame's buffers.
add_executable(morvane platform/web/web_main.cpp)
set_target_properties(morvane PROPERTIES
  SUFFIX .js
  RUNTIME_OUTPUT_DIRECTORY ${MORVANE_SITE_DIR})
target_link_options(morvane PRIVATE
  -sASYNCIFY -sALLOW_MEMORY_GROWTH -sEXIT_RUNTIME
  -sENVIRONMENT=web -sSTRICT_JS=0
  "-sEXPORTED_RUNTIME_METHODS=[]")
add_dependencies(morvane morvane_site)

# CPack: Morvane-1.0.0-web.zip, one folder with the site, LICENSE and README.
install(DIRECTORY ${MORVANE_SITE_DIR}/ DESTINATION .)
install(FILES ${MORVANE_ROOT}/LICENSE ${MORVANE_ROOT}/README.md DESTINATION .)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME Morvane-${PROJECT_VERSION}-web)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)

# The lighting probe for tests/web/lit_colours.test.mjs: the scene code
# through the GL layer on a test page of its own, beside the site (not in it).
add_executable(morvane_gl_probe EXCLUDE_FROM_ALL
  tests/web/gl_probe.cpp app/viewer_state.cpp)
target_include_directories(morvane_gl_probe PRIVATE ${MORVANE_ROOT})
target_link_libraries(morvane_gl_probe PRIVATE morvane_scene morvane_web)
set_target_properties(morvane_gl_probe PROPERTIES
  OUTPUT_NAME gl_probe SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/probe)
target_link_options(morvane_gl_probe PRIVATE -sALLOW_MEMORY_GROWTH -sENVIRONMENT=web)
add_custom_command(TARGET morvane_gl_probe POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${MORVANE_ROOT}/tests/web/gl_probe.html
          ${MORVANE_ROOT}/platform/web/site/page.js ${MORVANE_ROOT}/platform/web/site/morvane.css
          ${CMAKE_BINARY_DIR}/probe/)
