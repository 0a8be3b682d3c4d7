# The shared library exports exactly the demangled names listed in a file,
# one per line, and nothing else (no standard-library instantiation, no
# internal helper). The same file is what the export test compares against.
#
# ELF: a version script that names them. PE: a module-definition file that
# names their mangled forms, found at link time among the symbols the
# objects define; this file is then run as a script (cmake -P) with
#   OBJECTS  the objects, separated by '|'   LIST  the list of names
#   NM       the target's nm                 DEF   the .def file to write
#   STRIP_UNDERSCORE  true where C names carry a leading '_' (32-bit x86)

set(_tovra_exports_script ${CMAKE_CURRENT_LIST_FILE})

function(_tovra_listed out list_file)
  file(STRINGS ${list_file} names REGEX "^[^#]")
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.16)
  _tovra_listed(listed ${LIST})
  string(REPLACE "|" ";" objects "${OBJECTS}")
  execute_process(COMMAND ${NM} --defined-only --extern-only ${objects} OUTPUT_VARIABLE nm_out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${objects}")
  endif()
  # "value type name"; the file headings and blank lines have no type.
  string(REGEX MATCHALL "[0-9a-fA-F]+ [A-Za-z] [^\n]+" lines "${nm_out}")
  set(mangled)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-fA-F]+ [A-Za-z] " "" name "${line}")
    if(STRIP_UNDERSCORE)
      string(SUBSTRING "${name}" 1 -1 name)
    endif()
    list(APPEND mangled ${name})
  endforeach()
  list(REMOVE_DUPLICATES mangled)
  string(REPLACE ";" "\n" text "${mangled}")
  # c++filt reads its standard input; a temporary file carries the names.
  file(WRITE ${DEF}.names "${text}\n")
  execute_process(COMMAND c++filt INPUT_FILE ${DEF}.names OUTPUT_VARIABLE demangled RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "c++filt failed (binutils)")
  endif()
  string(REGEX REPLACE "\n$" "" demangled "${demangled}")
  string(REPLACE "\n" ";" demangled "${demangled}")
  set(def "EXPORTS\n")
  list(LENGTH mangled count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    list(GET demangled ${i} name)
    if(name IN_LIST listed)
      list(GET mangled ${i} name)
      string(APPEND def "  ${name}\n")
    endif()
  endforeach()
  # An empty list would let the linker export every global symbol.
  if(def STREQUAL "EXPORTS\n")
    message(FATAL_ERROR "none of the names in ${LIST} is defined in ${objects}")
  endif()
  file(WRITE ${DEF} "${def}")
  return()
endif()

function(tovra_export_only target list_file)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${list_file})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  if(WIN32)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    set(underscore FALSE)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(underscore TRUE)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${_tovra_exports_script})
    add_custom_command(
      TARGET ${target} PRE_LINK
      COMMAND ${CMAKE_COMMAND} "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:${target}>,|>" -DLIST=${list_file}
              -DNM=${CMAKE_NM} -DDEF=${def} -DSTRIP_UNDERSCORE=${underscore} -P ${_tovra_exports_script}
      VERBATIM)
    # The linker takes a .def among its inputs; with one, it exports only
    # what the file names instead of every global symbol.
    target_link_options(${target} PRIVATE ${def})
    return()
  endif()
  _tovra_listed(names ${list_file})
  set(body "")
  foreach(name IN LISTS names)
    string(APPEND body "      \"${name}\";\n")
  endforeach()
  set(map ${CMAKE_CURRENT_BINARY_DIR}/tovra.map)
  file(WRITE ${map} "{\n  global:\n    extern \"C++\" {\n${body}    };\n  local: *;\n};\n")
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
endfunction()
