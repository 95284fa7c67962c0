# Checks that every include of the program's own code points down the
# layers the README's folder table lists, and that no folder below the Qt
# platform layer includes a Qt header. The libraries below the interface do
# not link Qt, but a header-only use would still build; this finds it.
# Run: cmake -DROOT=<source folder> -P scripts/check-layers.cmake
# Prints one line per include that breaks a rule and fails when there is any.

cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "check-layers: pass -DROOT=<source folder>")
endif()

# Each folder and what it may include besides itself, bottom first. A nested
# folder (app/tools) is a layer of its own. Tests, benchmarks and the fuzz
# harnesses (fuzz/ in each folder) may include anything.
set(engine platform textoutline machinecomm settings model processing importexport)
set(allow_platform "")
set(allow_textoutline platform)
set(allow_machinecomm platform)
set(allow_settings platform machinecomm)
set(allow_model platform machinecomm settings)
set(allow_processing platform textoutline machinecomm settings model)
set(allow_importexport platform textoutline machinecomm settings model processing)
set(allow_app/tools platform textoutline machinecomm settings model processing)
# The interface runs one way: the shell (app/) opens the dialogs (ui/),
# and both build on the Qt platform layer (qtplatform/); a dialog never
# reaches up into the shell, the platform layer into neither.
set(allow_qtplatform ${engine})
set(allow_ui ${engine} qtplatform)
set(allow_app ${engine} qtplatform ui app/tools)
set(allow_illustrator platform)
set(allow_langeditor platform settings qtplatform)
set(allow_uninstall "")
set(layers ${engine} app/tools qtplatform ui app illustrator langeditor uninstall)
# The folders whose code may include Qt headers.
set(qt_layers qtplatform ui app langeditor uninstall)

# The layer of a path relative to ROOT: the deepest listed folder holding it.
function(layer_of path out)
  set(found "")
  foreach(layer IN LISTS layers)
    string(LENGTH "${layer}/" n)
    string(SUBSTRING "${path}" 0 ${n} head)
    if(head STREQUAL "${layer}/")
      set(found ${layer})
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE "${ROOT}" LIST_DIRECTORIES false
     "${ROOT}/*.h" "${ROOT}/*.hpp" "${ROOT}/*.cpp" "${ROOT}/*.c")
list(SORT sources)
set(faults 0)
foreach(source IN LISTS sources)
  layer_of("${source}" layer)
  if(layer STREQUAL "" OR source MATCHES "(^|/)fuzz/")
    continue()
  endif()
  get_filename_component(dir "${source}" DIRECTORY)
  file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  set(line_no 0)
  foreach(line IN LISTS includes)
    if(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z0-9_]*)[/>]")
      if(NOT layer IN_LIST qt_layers)
        message("${source}: includes the Qt header <${CMAKE_MATCH_1}> below the Qt platform layer")
        math(EXPR faults "${faults} + 1")
      endif()
      continue()
    endif()
    if(NOT line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(name "${CMAKE_MATCH_1}")
    # A name is first looked for beside the file, then from the source root.
    if(EXISTS "${ROOT}/${dir}/${name}")
      set(target "${dir}/${name}")
    else()
      set(target "${name}")
    endif()
    cmake_path(NORMAL_PATH target)
    layer_of("${target}" to)
    if(to STREQUAL "" OR to STREQUAL layer OR to IN_LIST allow_${layer})
      continue()
    endif()
    message("${source}: includes ${name}, but ${layer}/ may not include ${to}/")
    math(EXPR faults "${faults} + 1")
  endforeach()
endforeach()

if(faults GREATER 0)
  message(FATAL_ERROR "check-layers: ${faults} include(s) against the layers")
endif()
list(LENGTH sources count)
message("check-layers: ${count} files keep to the layers")
