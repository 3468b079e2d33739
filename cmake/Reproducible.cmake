# The same source gives the same executable wherever it is built: no source
# or build folder in debug information or file names, no link time stamp.
# The last matching map wins, so the build folder (inside the source tree,
# and the compiler's working folder) comes after the source folder.
if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}/=
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
