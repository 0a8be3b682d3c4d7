# The shared object exports exactly the demangled names listed in a file,
# one per line, and nothing else (no standard-library instantiation, no
# internal helper). The same file is what the export test compares against.
function(tovra_export_only target list_file)
  file(STRINGS ${list_file} names REGEX "^[^#]")
  set(body "")
  foreach(name IN LISTS names)
    string(APPEND body "      \"${name}\";\n")
  endforeach()
  set(map ${CMAKE_CURRENT_BINARY_DIR}/tovra.map)
  file(WRITE ${map} "{\n  global:\n    extern \"C++\" {\n${body}    };\n  local: *;\n};\n")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${list_file})
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
endfunction()
