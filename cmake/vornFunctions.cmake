# vorn_add_executable(TARGET SOURCES a.vn ... [INCLUDE_DIRS dir ...] [VNI file ...]) and
# vorn_add_library in the same form (static unless BUILD_SHARED_LIBS says otherwise).
#
# Each module is translated by a build step of its own, so the build tool runs them side by
# side. vorn writes a module's files into a staging folder on every run; only those whose
# content differs are copied into the folder the compiler reads, so a module whose C++ did not
# change is not compiled again. The step names the sources the translation read in a depfile,
# so that a change to an imported module translates its importers again.
# Needs vorn::vorn and VORN_INCLUDE_DIR (set by vornConfig.cmake).

# Functions keep the policies in force where they are defined: depfile paths are rewritten for
# Ninja relative to the build tree, whatever the calling project asks for.
cmake_policy(PUSH)
if(POLICY CMP0116)
  cmake_policy(SET CMP0116 NEW)
endif()

function(vorn_add_executable target)
  add_executable(${target})
  _vorn_translate(${target} PRIVATE ${ARGN})
endfunction()

function(vorn_add_library target)
  add_library(${target})
  _vorn_translate(${target} PUBLIC ${ARGN})
endfunction()

function(_vorn_translate target scope)
  cmake_parse_arguments(PARSE_ARGV 2 VORN "" "" "SOURCES;INCLUDE_DIRS;VNI")
  if(VORN_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vorn_add_*(${target}): unknown arguments ${VORN_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT VORN_SOURCES)
    message(FATAL_ERROR "vorn_add_*(${target}): no SOURCES")
  endif()
  set(work "${CMAKE_CURRENT_BINARY_DIR}/${target}.vorn")
  set(stage "${work}/stage")
  set(generated "${work}/generated")
  file(MAKE_DIRECTORY "${stage}" "${generated}")

  set(options)
  foreach(dir IN LISTS VORN_INCLUDE_DIRS)
    get_filename_component(dir "${dir}" ABSOLUTE)
    list(APPEND options -I "${dir}")
  endforeach()
  set(interfaces)
  foreach(file IN LISTS VORN_VNI)
    get_filename_component(file "${file}" ABSOLUTE)
    list(APPEND interfaces "${file}")
  endforeach()

  # vorn takes its data from the first vorn on PATH; with only its own folder there, another
  # vorn installed on the machine cannot lend it a different library. A translation with -s
  # starts no other program.
  get_target_property(program vorn::vorn IMPORTED_LOCATION)
  get_filename_component(program_dir "${program}" DIRECTORY)

  set(names)
  foreach(source IN LISTS VORN_SOURCES)
    # A full path puts the full path into vorn's messages and the #line directives, so the
    # build log leads an editor to the ".vn" line.
    get_filename_component(source "${source}" ABSOLUTE)
    get_filename_component(name "${source}" NAME_WE)
    if(name IN_LIST names)
      message(FATAL_ERROR "vorn_add_*(${target}): two modules named ${name}; the generated files would clash")
    endif()
    list(APPEND names ${name})
    set(copies "${generated}/${name}.cpp" "${generated}/${name}.hpp" "${generated}/${name}.hpp2")
    # The staged implementation file comes first: it is the rule's target in the depfile, and
    # deleting it makes vorn translate again even when its outputs look newer than the source.
    add_custom_command(
      OUTPUT "${stage}/${name}.cpp" ${copies}
      BYPRODUCTS "${stage}/${name}.hpp" "${stage}/${name}.hpp2" "${stage}/${name}.vnl"
      COMMAND "${CMAKE_COMMAND}" -E rm -f "${stage}/${name}.cpp"
      COMMAND "${CMAKE_COMMAND}" -E env "PATH=${program_dir}"
              "${program}" -s ${options} --output-dir "${stage}" --depfile "${stage}/${name}.d" "${source}"
      COMMAND "${CMAKE_COMMAND}" -E copy_if_different
              "${stage}/${name}.cpp" "${stage}/${name}.hpp" "${stage}/${name}.hpp2" "${generated}"
      DEPENDS "${source}" "${program}" ${interfaces}
      DEPFILE "${stage}/${name}.d"
      COMMENT "Translating ${source}"
      VERBATIM)
    target_sources(${target} PRIVATE ${copies})
  endforeach()

  target_include_directories(${target} ${scope} "${generated}" "${VORN_INCLUDE_DIR}")
  target_link_libraries(${target} ${scope} Boost::boost)
  target_compile_features(${target} ${scope} cxx_std_17)
endfunction()

cmake_policy(POP)
