# The web build (cmake --preset web, with emscripten's toolchain): the core's libraries,
# the page's module (app/web) and the tests that run under node.
#
# C++ exceptions are WebAssembly's own (no JavaScript in between on the hot paths); the
# row kernels' loops are vectorised with WebAssembly's 128-bit SIMD, which every browser
# of the last years runs. The pages run on one thread: threads in a page need headers that
# a file opened from disk cannot have.
add_compile_options(-fwasm-exceptions -msimd128)
add_link_options(-fwasm-exceptions)

add_subdirectory(base)
add_subdirectory(platform)
add_subdirectory(raster)
add_subdirectory(compose)
add_subdirectory(reveal)
add_subdirectory(gif)
add_subdirectory(export)

add_library(liblumiveil INTERFACE)
target_link_libraries(liblumiveil INTERFACE lumiveil_export lumiveil_reveal lumiveil_compose)
target_sources(liblumiveil INTERFACE $<TARGET_OBJECTS:lumiveil_modules>)
target_link_libraries(liblumiveil INTERFACE lumiveil_modules)

add_subdirectory(app/web)
if(LUMIVEIL_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/web)
endif()
