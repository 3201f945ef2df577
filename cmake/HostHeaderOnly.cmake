# The cross build takes Debian's header-only libraries from a folder that holds only them: their packages'
# CMake files add -I/usr/include, which puts glibc's headers in front of mingw's.
set(Z83_HOST_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${Z83_HOST_HEADERS})

function(z83_host_header_library target folder)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: install the Debian package that holds it")
  endif()
  if(NOT EXISTS ${Z83_HOST_HEADERS}/${folder})
    file(CREATE_LINK /usr/include/${folder} ${Z83_HOST_HEADERS}/${folder} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${Z83_HOST_HEADERS})
endfunction()

z83_host_header_library(nlohmann_json::nlohmann_json nlohmann)
z83_host_header_library(CLI11::CLI11 CLI)
