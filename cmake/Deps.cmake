# The libraries that scripts/deps builds from Debian's source packages as
# static Windows libraries, each in build/deps/NAME, as imported targets
# corvasta::NAME. Their headers are system headers: our warnings stay ours.
# A layer that needs one includes this itself (rtc/ comes before the
# stand-ins); the targets are defined once.
include_guard(GLOBAL)
set(CORVASTA_DEPS_DIR ${CMAKE_BINARY_DIR}/deps)

function(corvasta_dep name dir)
  set(libs ${ARGN})
  list(GET libs 0 first)
  set(path ${CORVASTA_DEPS_DIR}/${dir}/lib/lib${first}.a)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "${path} is missing: scripts/deps builds it (scripts/build runs it first)")
  endif()
  add_library(corvasta::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(corvasta::${name} PROPERTIES
    IMPORTED_LOCATION ${path}
    INTERFACE_INCLUDE_DIRECTORIES ${CORVASTA_DEPS_DIR}/${dir}/include)
  list(REMOVE_AT libs 0)
  foreach(lib ${libs})
    target_link_libraries(corvasta::${name} INTERFACE ${CORVASTA_DEPS_DIR}/${dir}/lib/lib${lib}.a)
  endforeach()
endfunction()

corvasta_dep(vpx libvpx vpx)
target_link_libraries(corvasta::vpx INTERFACE pthread)
corvasta_dep(openh264 openh264 openh264)
corvasta_dep(opus opus opus)
corvasta_dep(crypto openssl crypto)
target_link_libraries(corvasta::crypto INTERFACE ws2_32 crypt32 user32 advapi32)
corvasta_dep(ssl openssl ssl)
target_link_libraries(corvasta::ssl INTERFACE corvasta::crypto)
corvasta_dep(srtp2 libsrtp2 srtp2)
target_link_libraries(corvasta::srtp2 INTERFACE corvasta::crypto)
