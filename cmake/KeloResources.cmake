# The embedded files of a module come from one list: one entry per line,
# "<RESOURCE_NAME> <path relative to the repository root>"; "#" starts a
# comment, blank lines are ignored.
#
#   kelo_add_resource_table(<target> <list-file>)
#     Linux: generates a C++ resource table (the files' bytes as arrays) and
#     links it into <target>, so that FindResourceW(<module of target>, name,
#     RT_RCDATA) finds every entry. Regenerated when the list or a file changes.
#   kelo_add_resource_script(<target> <list-file>)
#     Windows: generates the resource script (RCDATA entries plus the
#     manifest, type 24 id 2, asking for asInvoker without uiAccess) and adds
#     it to <target>. Does nothing elsewhere.
#   kelo_generate_resource_script(<list-file> <rc-output>)
#     The generation step alone, as a build rule for <rc-output> (the manifest
#     is written beside it).
#
# Run with -P, this file is also the generator those rules call.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.22)
endif()

set(KELO_RESOURCES_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")
get_filename_component(KELO_RESOURCES_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# Reads <list-file> into two lists: names and absolute paths.
function(kelo_read_resource_list list_file root out_names out_paths)
  file(STRINGS "${list_file}" lines)
  set(names)
  set(paths)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*$" "" line "${line}")
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^([A-Za-z0-9_]+)[ \t]+(.+)$")
      message(FATAL_ERROR "${list_file}: malformed entry '${line}'")
    endif()
    string(TOUPPER "${CMAKE_MATCH_1}" name)
    if(name IN_LIST names)
      message(FATAL_ERROR "${list_file}: resource ${name} listed twice")
    endif()
    list(APPEND names "${name}")
    list(APPEND paths "${root}/${CMAKE_MATCH_2}")
  endforeach()
  set(${out_names} "${names}" PARENT_SCOPE)
  set(${out_paths} "${paths}" PARENT_SCOPE)
endfunction()

function(_kelo_write_resource_table list_file root output)
  kelo_read_resource_list("${list_file}" "${root}" names paths)
  set(arrays "")
  set(entries "")
  list(LENGTH names count)
  if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      list(GET names ${i} name)
      list(GET paths ${i} path)
      file(READ "${path}" hex HEX)
      string(LENGTH "${hex}" digits)
      math(EXPR size "${digits} / 2")
      # A trailing zero keeps empty files legal C++ and text resources terminated;
      # it is not counted in the size.
      string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
      string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
      string(APPEND arrays "const unsigned char kData${i}[] = {\n${bytes}0x00};\n")
      string(APPEND entries "    {L\"${name}\", kData${i}, ${size}u},\n")
    endforeach()
  else()
    string(APPEND entries "    {L\"\", nullptr, 0u},\n")
  endif()
  file(WRITE "${output}"
"// Generated from ${list_file}; do not edit.
#include <standin/ResourceTable.h>

namespace {
${arrays}
const standin::ResourceEntry kEntries[] = {
${entries}};
standin::ResourceTable table{kEntries, ${count}u, nullptr};
const standin::ResourceTableRegistration registration(table);
}  // namespace
")
endfunction()

function(_kelo_write_resource_script list_file root output)
  kelo_read_resource_list("${list_file}" "${root}" names paths)
  get_filename_component(folder "${output}" DIRECTORY)
  get_filename_component(stem "${output}" NAME_WE)
  set(manifest "${folder}/${stem}.manifest")
  file(WRITE "${manifest}"
"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>
<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">
  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
</assembly>
")
  set(text "// Generated from ${list_file}; do not edit.\n")
  string(APPEND text "2 24 \"${manifest}\"\n")
  list(LENGTH names count)
  if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      list(GET names ${i} name)
      list(GET paths ${i} path)
      string(APPEND text "${name} RCDATA \"${path}\"\n")
    endforeach()
  endif()
  file(WRITE "${output}" "${text}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  if(KELO_RESOURCES_MODE STREQUAL "table")
    _kelo_write_resource_table("${KELO_RESOURCES_LIST}" "${KELO_RESOURCES_ROOT_DIR}" "${KELO_RESOURCES_OUTPUT}")
  elseif(KELO_RESOURCES_MODE STREQUAL "script")
    _kelo_write_resource_script("${KELO_RESOURCES_LIST}" "${KELO_RESOURCES_ROOT_DIR}" "${KELO_RESOURCES_OUTPUT}")
  else()
    message(FATAL_ERROR "KeloResources: unknown mode '${KELO_RESOURCES_MODE}'")
  endif()
  return()
endif()

# A build rule writing <output> in <mode> from <list-file>, depending on the
# list and every listed file; the list is also a configure dependency, so an
# added entry brings its file's dependency with it.
function(_kelo_resource_rule mode list_file output)
  get_filename_component(list_file "${list_file}" ABSOLUTE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${list_file}")
  kelo_read_resource_list("${list_file}" "${KELO_RESOURCES_ROOT}" names paths)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -DKELO_RESOURCES_MODE=${mode} "-DKELO_RESOURCES_LIST=${list_file}"
            "-DKELO_RESOURCES_ROOT_DIR=${KELO_RESOURCES_ROOT}" "-DKELO_RESOURCES_OUTPUT=${output}"
            -P "${KELO_RESOURCES_SCRIPT}"
    DEPENDS "${list_file}" ${paths} "${KELO_RESOURCES_SCRIPT}"
    COMMENT "Generating ${output}"
    VERBATIM)
endfunction()

function(kelo_add_resource_table target list_file)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp")
  _kelo_resource_rule(table "${list_file}" "${output}")
  target_sources(${target} PRIVATE "${output}")
endfunction()

function(kelo_generate_resource_script list_file output)
  _kelo_resource_rule(script "${list_file}" "${output}")
endfunction()

function(kelo_add_resource_script target list_file)
  if(WIN32)
    set(output "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc")
    kelo_generate_resource_script("${list_file}" "${output}")
    target_sources(${target} PRIVATE "${output}")
  endif()
endfunction()
