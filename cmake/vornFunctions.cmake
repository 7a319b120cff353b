# vorn_add_executable(TARGET SOURCES a.vn ... [INCLUDE_DIRS dir ...] [VNI file ...]) and
# vorn_add_library in the same form (static unless BUILD_SHARED_LIBS says otherwise).
#
# Each module is translated by a build step of its own, so the build tool runs them side by
# side. vorn writes a module's files into a staging folder on every run; only those whose
# content differs are copied into the folder the compiler reads, so a module whose C++ did not
# change is not compiled again. The step names the sources the translation read in a depfile,
# so that a change to an imported module translates its importers again.
# Needs vorn::vorn and VORN_INCLUDE_DIR (set by vornConfig.cmake).
#
# Run as a script (cmake -DFROM=dir -DTO=dir -P vornFunctions.cmake) it copies the headers of
# FROM whose content differs into TO: what an include interface's step writes is known by
# name only once the headers are found.
if(CMAKE_SCRIPT_MODE_FILE AND DEFINED FROM AND DEFINED TO)
  file(GLOB written RELATIVE "${FROM}" "${FROM}/*.hpp" "${FROM}/*.hpp2")
  foreach(name IN LISTS written)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${FROM}/${name}" "${TO}/${name}"
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "cannot copy ${FROM}/${name} to ${TO}")
    endif()
  endforeach()
  return()
endif()

# Functions keep the policies in force where they are defined: depfile paths are rewritten for
# Ninja relative to the build tree, whatever the calling project asks for.
cmake_policy(PUSH)
if(POLICY CMP0116)
  cmake_policy(SET CMP0116 NEW)
endif()

set(_VORN_FUNCTIONS_FILE "${CMAKE_CURRENT_LIST_FILE}")

function(vorn_add_executable target)
  add_executable(${target})
  _vorn_translate(${target} PRIVATE ${ARGN})
endfunction()

function(vorn_add_library target)
  add_library(${target})
  _vorn_translate(${target} PUBLIC ${ARGN})
endfunction()

# The libraries a ".vni" names, read now: "link = z m" links each word, "pkg-config = NAME"
# links what pkg-config gives for NAME (vorn asks pkg-config for the folders itself). An edit
# of the file configures again.
function(_vorn_interface_libraries target scope file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  file(STRINGS "${file}" lines REGEX "^[ \t]*(link|pkg-config)[ \t]*=")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^[ \t]*([a-z-]+)[ \t]*=(.*)$" _ "${line}")
    set(key "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "[ \t,]+" ";" words "${CMAKE_MATCH_2}")
    list(REMOVE_ITEM words "")
    foreach(word IN LISTS words)
      if(key STREQUAL "link")
        target_link_libraries(${target} ${scope} "${word}")
      else()
        find_package(PkgConfig REQUIRED)
        string(MAKE_C_IDENTIFIER "vorn_${word}" prefix)
        pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET "${word}")
        target_link_libraries(${target} ${scope} PkgConfig::${prefix})
      endif()
    endforeach()
  endforeach()
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

  # The compiler CMake uses is the one vorn asks for its include folders: the step's PATH
  # holds no other.
  set(options --cxx "${CMAKE_CXX_COMPILER}")
  foreach(dir IN LISTS VORN_INCLUDE_DIRS)
    get_filename_component(dir "${dir}" ABSOLUTE)
    list(APPEND options -I "${dir}")
  endforeach()

  # vorn takes its data from the first vorn on PATH; with only its own folder there, another
  # vorn installed on the machine cannot lend it a different library.
  get_target_property(program vorn::vorn IMPORTED_LOCATION)
  get_filename_component(program_dir "${program}" DIRECTORY)
  set(run "${CMAKE_COMMAND}" -E env "PATH=${program_dir}" "${program}")

  # An include interface's step writes its module's headers and those of the headers it
  # names (vorn writes imports without -s); the modules that import it read it themselves.
  set(module_dirs)
  foreach(file IN LISTS VORN_VNI)
    get_filename_component(file "${file}" ABSOLUTE)
    get_filename_component(name "${file}" NAME_WE)
    get_filename_component(dir "${file}" DIRECTORY)
    list(APPEND module_dirs "${dir}")
    set(vni_stage "${work}/vni-${name}")
    file(MAKE_DIRECTORY "${vni_stage}")
    add_custom_command(
      OUTPUT "${vni_stage}/${name}.cpp"
      BYPRODUCTS "${generated}/${name}.hpp"
      COMMAND "${CMAKE_COMMAND}" -E rm -f "${vni_stage}/${name}.cpp"
      COMMAND ${run} ${options} --output-dir "${vni_stage}" --depfile "${vni_stage}/${name}.d" "${file}"
      COMMAND "${CMAKE_COMMAND}" "-DFROM=${vni_stage}" "-DTO=${generated}" -P "${_VORN_FUNCTIONS_FILE}"
      DEPENDS "${file}" "${program}"
      DEPFILE "${vni_stage}/${name}.d"
      COMMENT "Translating ${file}"
      VERBATIM)
    target_sources(${target} PRIVATE "${vni_stage}/${name}.cpp")
    set_source_files_properties("${vni_stage}/${name}.cpp" PROPERTIES HEADER_FILE_ONLY ON)
    _vorn_interface_libraries(${target} ${scope} "${file}")
  endforeach()

  set(names)
  foreach(source IN LISTS VORN_SOURCES)
    get_filename_component(source "${source}" ABSOLUTE)
    get_filename_component(dir "${source}" DIRECTORY)
    list(APPEND module_dirs "${dir}")
  endforeach()
  list(REMOVE_DUPLICATES module_dirs)
  # Imports are found in the target's own folders and in those of the vorn libraries it links;
  # the latter are known once every target_link_libraries has run (_vorn_link_imports).
  set_property(TARGET ${target} PROPERTY VORN_MODULE_DIRS "${module_dirs}")
  set_property(GLOBAL APPEND PROPERTY VORN_TARGETS ${target})
  set(imports "$<TARGET_PROPERTY:${target},VORN_IMPORT_OPTIONS>")

  foreach(source IN LISTS VORN_SOURCES)
    # A full path puts the full path into vorn's messages and the #line directives, so the
    # build log leads an editor to the ".vn" line.
    get_filename_component(source "${source}" ABSOLUTE)
    get_filename_component(name "${source}" NAME_WE)
    if(name IN_LIST names)
      message(FATAL_ERROR "vorn_add_*(${target}): two modules named ${name}; the generated files would clash")
    endif()
    list(APPEND names ${name})
    # The staged implementation file comes first: it is the rule's target in the depfile, and
    # deleting it makes vorn translate again even when its outputs look newer than the source.
    add_custom_command(
      OUTPUT "${stage}/${name}.cpp"
      BYPRODUCTS "${stage}/${name}.hpp" "${stage}/${name}.hpp2" "${stage}/${name}.vnl"
      COMMAND "${CMAKE_COMMAND}" -E rm -f "${stage}/${name}.cpp"
      COMMAND ${run} -s ${options} ${imports} --output-dir "${stage}" --depfile "${stage}/${name}.d" "${source}"
      DEPENDS "${source}" "${program}"
      DEPFILE "${stage}/${name}.d"
      COMMENT "Translating ${source}"
      COMMAND_EXPAND_LISTS
      VERBATIM)
    set_source_files_properties("${stage}/${name}.cpp" PROPERTIES HEADER_FILE_ONLY ON)
    target_sources(${target} PRIVATE "${stage}/${name}.cpp")
    # One copy step per file: the Makefile generators touch the second and later outputs of a
    # step, which would recompile whatever includes a header that did not change.
    foreach(extension cpp hpp hpp2)
      add_custom_command(
        OUTPUT "${generated}/${name}.${extension}"
        COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${stage}/${name}.${extension}" "${generated}"
        DEPENDS "${stage}/${name}.cpp"
        VERBATIM)
      target_sources(${target} PRIVATE "${generated}/${name}.${extension}")
    endforeach()
  endforeach()

  target_include_directories(${target} ${scope} "${generated}" "${VORN_INCLUDE_DIR}")
  target_link_libraries(${target} ${scope} Boost::boost)
  target_compile_features(${target} ${scope} cxx_std_17)

  get_property(deferred GLOBAL PROPERTY VORN_IMPORTS_DEFERRED)
  if(NOT deferred)
    set_property(GLOBAL PROPERTY VORN_IMPORTS_DEFERRED TRUE)
    cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL _vorn_link_imports)
  endif()
endfunction()

# At the end of the top directory: each vorn target's translations get -I for its own module
# folders and for those of every vorn library it links, directly or through other libraries.
function(_vorn_link_imports)
  get_property(targets GLOBAL PROPERTY VORN_TARGETS)
  foreach(target IN LISTS targets)
    set(seen)
    set(dirs)
    set(pending ${target})
    while(pending)
      list(POP_FRONT pending item)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
      if(NOT TARGET "${item}")
        continue()
      endif()
      get_target_property(aliased "${item}" ALIASED_TARGET)
      if(aliased)
        set(item "${aliased}")
      endif()
      if(item IN_LIST seen)
        continue()
      endif()
      list(APPEND seen "${item}")
      get_target_property(own "${item}" VORN_MODULE_DIRS)
      if(own)
        list(APPEND dirs ${own})
      endif()
      foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(linked "${item}" ${property})
        if(linked)
          list(APPEND pending ${linked})
        endif()
      endforeach()
    endwhile()
    list(REMOVE_DUPLICATES dirs)
    set(options)
    foreach(dir IN LISTS dirs)
      list(APPEND options -I "${dir}")
    endforeach()
    set_property(TARGET ${target} PROPERTY VORN_IMPORT_OPTIONS "${options}")
  endforeach()
endfunction()

cmake_policy(POP)
