# Reads include/pixpen.exports, the one list of exported names and their
# declarations. Usable from a project and from a script (cmake -P).
#
# pixpen_read_exports(<file> <names> <declarations>) sets <names> to every
# exported name and <declarations> to the matching lines, in the same order.
function(pixpen_read_exports file names_var declarations_var)
  file(STRINGS "${file}" lines REGEX "^[^#]")
  set(names)
  set(declarations)
  foreach(line IN LISTS lines)
    # A function's name stands before its '(', data's at the end.
    if(line MATCHES "([A-Za-z_][A-Za-z0-9_]*)\\(")
      list(APPEND names "${CMAKE_MATCH_1}")
    elseif(line MATCHES "([A-Za-z_][A-Za-z0-9_]*)(\\[[0-9]+\\])?$")
      list(APPEND names "${CMAKE_MATCH_1}")
    else()
      message(FATAL_ERROR "${file}: cannot read \"${line}\"")
    endif()
    # Semicolons would split the list; declarations have none.
    list(APPEND declarations "${line}")
  endforeach()
  set(${names_var} "${names}" PARENT_SCOPE)
  set(${declarations_var} "${declarations}" PARENT_SCOPE)
endfunction()

# The text before the name: the result type of a function, the type of data.
function(pixpen_export_type declaration name out_var)
  string(FIND "${declaration}" "${name}" at)
  string(SUBSTRING "${declaration}" 0 ${at} type)
  set(${out_var} "${type}" PARENT_SCOPE)
endfunction()
