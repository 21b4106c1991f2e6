# Optimised Linux builds take the distribution's hardening flags, as its own
# packages do: fortify, stack protector, relro with bind-now, PIE. They come
# from dpkg-buildflags with every hardening feature on; the build type keeps
# its own -O and -g, and the path map (made for dpkg's source tree) is left out.
find_program(MORVANE_DPKG_BUILDFLAGS dpkg-buildflags)

function(morvane_dpkg_flags variable out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${MORVANE_DPKG_BUILDFLAGS} --get ${variable}
    OUTPUT_VARIABLE text
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-buildflags --get ${variable} failed")
  endif()
  separate_arguments(flags UNIX_COMMAND "${text}")
  list(FILTER flags EXCLUDE REGEX "^(-g|-O.*|-ffile-prefix-map=.*|-fdebug-prefix-map=.*)$")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

if(MORVANE_DPKG_BUILDFLAGS)
  morvane_dpkg_flags(CPPFLAGS cpp_flags)
  morvane_dpkg_flags(CXXFLAGS cxx_flags)
  morvane_dpkg_flags(LDFLAGS ld_flags)
else()
  # The same as Debian 12's, for systems without dpkg.
  set(cpp_flags -Wdate-time -D_FORTIFY_SOURCE=2)
  set(cxx_flags -fstack-protector-strong -Wformat -Werror=format-security)
  set(ld_flags -Wl,-z,relro -Wl,-z,now)
endif()
add_compile_options(${cpp_flags} ${cxx_flags})
add_link_options(${ld_flags})
# Debian's compiler makes PIE by default; others are asked to.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
message(STATUS "Hardening flags: ${cpp_flags} ${cxx_flags} ${ld_flags}")
