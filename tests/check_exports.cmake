# Fails unless the shared library's dynamic symbol table defines exactly the
# public names (plus the linker's own section markers).
set(public
  WHITE last_error create_image destroy_image get_last_error do_pixel do_line do_clear do_invert
  do_reverse_rgb turtle_set_xy turtle_move turtle_forward turtle_face_north turtle_left
  turtle_right turtle_pen_up turtle_pen_down turtle_set_color write_tga read_tga write_ppm read_ppm
  read_image decode_image decode_tga decode_ppm decode_png write_image encode_image free_buffer get_version
  get_version_string)
set(linker_markers _init _fini _edata _end __bss_start)

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(found)
foreach(line IN LISTS lines)
  if(line MATCHES "([^ ]+)$")
    list(APPEND found "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_ITEM found ${linker_markers})
# AddressSanitizer adds one-definition-rule markers beside exported data.
list(FILTER found EXCLUDE REGEX "^__odr_asan[.]")
list(SORT found)
set(expected ${public})
list(SORT expected)
if(NOT found STREQUAL expected)
  set(extra ${found})
  list(REMOVE_ITEM extra ${expected})
  set(missing ${expected})
  list(REMOVE_ITEM missing ${found})
  message(FATAL_ERROR "exported symbols differ\n  unexpected: ${extra}\n  missing: ${missing}")
endif()
list(LENGTH found count)
message(STATUS "${count} exported symbols, all public")
