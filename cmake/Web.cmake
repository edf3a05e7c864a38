# The web build (cmake --preset web, with emscripten's toolchain), on the core's libraries:
# the page's module (app/web) and the tests that run under node. The page runs on one thread: threads in a page need headers that a file opened from disk
# cannot have.
add_link_options(-fwasm-exceptions)

add_subdirectory(app/web)
if(LUMIVEIL_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/web)
endif()
