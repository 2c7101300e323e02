# Each source folder is a room: one static library that links only the rooms
# it names in USES. Its headers are reachable only through an include root of
# its own (build/rooms/<room>/), which reaches the rooms it links and no
# others, so an include from a room it does not use fails to compile.
#
# zelvo_room(<dir> [USES <dirs...>] [PURE <files...>] [UI <files...>]
#            [PURE_LIBS <libs...>] [UI_LIBS <libs...>])
#   PURE: display-free sources, also built for the sanitizer build.
#   UI:   the widgets over them, built only with the engines.
function(zelvo_room dir)
  cmake_parse_arguments(R "" "" "USES;PURE;UI;PURE_LIBS;UI_LIBS" ${ARGN})
  string(REPLACE "/" "_" lib "zelvo_${dir}")
  # Recorded even when this build leaves the room out, for the include check.
  string(JOIN "," used ${R_USES})
  set_property(GLOBAL APPEND PROPERTY ZELVO_ROOMS "${dir}=${used}")
  if(ZELVO_PURE_ONLY)
    set(R_UI "")
    set(R_UI_LIBS "")
  endif()
  if(NOT R_PURE AND NOT R_UI)
    return()
  endif()
  add_library(${lib} STATIC ${R_PURE} ${R_UI})

  set(root ${CMAKE_BINARY_DIR}/rooms/${lib})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${dir})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${dir}/*.h)
  foreach(h ${headers})
    get_filename_component(name ${h} NAME)
    file(CREATE_LINK ${h} ${root}/${dir}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${lib} PUBLIC ${root})

  set(uses "")
  foreach(u ${R_USES})
    string(REPLACE "/" "_" ulib "zelvo_${u}")
    list(APPEND uses $<TARGET_NAME_IF_EXISTS:${ulib}>)
  endforeach()
  target_link_libraries(${lib} PUBLIC ${uses} Qt6::Core ${R_PURE_LIBS} ${R_UI_LIBS})

  set_property(GLOBAL APPEND PROPERTY ZELVO_ROOM_LIBS ${lib})
endfunction()

# What the include check reads: each room and the rooms it links.
function(zelvo_write_room_map)
  get_property(rooms GLOBAL PROPERTY ZELVO_ROOMS)
  string(REPLACE ";" "\n" text "${rooms}")
  file(WRITE ${CMAKE_BINARY_DIR}/rooms.txt "${text}\n")
endfunction()
