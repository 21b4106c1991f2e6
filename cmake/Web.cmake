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
