# The default skin: its sources under default/ are packed at build time by our
# own packer, and the container rides in the program as a Qt resource with the
# three program bitmaps.
file(GLOB MYCOOK_DEFAULT_SKIN_FILES CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/default/*.bmp ${CMAKE_CURRENT_SOURCE_DIR}/default/*.ini)
set(MYCOOK_SKIN_CONTAINER ${CMAKE_CURRENT_BINARY_DIR}/SkinContainer.skn)
add_custom_command(
    OUTPUT ${MYCOOK_SKIN_CONTAINER}
    COMMAND skinpack pack ${CMAKE_CURRENT_SOURCE_DIR}/default ${MYCOOK_SKIN_CONTAINER}
    DEPENDS skinpack ${MYCOOK_DEFAULT_SKIN_FILES}
    COMMENT "Packing the default skin"
    VERBATIM)
set_source_files_properties(${MYCOOK_SKIN_CONTAINER} PROPERTIES
    GENERATED TRUE QT_RESOURCE_ALIAS SkinContainer.skn)
foreach(res KESTRELMENU TRACK TRACKVERT)
    set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/resources/${res}.bmp
        PROPERTIES QT_RESOURCE_ALIAS ${res}.bmp)
endforeach()

add_library(mycook_skinresource STATIC SkinResource.cpp SkinResource.h)
target_include_directories(mycook_skinresource PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(mycook_skinresource PUBLIC Qt6::Core PRIVATE mycook_options)
qt_add_resources(mycook_skinresource mycook_skin
    PREFIX /skin
    FILES ${MYCOOK_SKIN_CONTAINER}
          ${CMAKE_CURRENT_SOURCE_DIR}/resources/KESTRELMENU.bmp
          ${CMAKE_CURRENT_SOURCE_DIR}/resources/TRACK.bmp
          ${CMAKE_CURRENT_SOURCE_DIR}/resources/TRACKVERT.bmp)

add_library(mycook_skindata STATIC
    WinSkinElements.cpp WinSkinElements.h
    WinSkinData.cpp WinSkinData.h
)
target_include_directories(mycook_skindata PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(mycook_skindata
    PUBLIC mycook_skincontainer mycook_skinresource mycook_core Qt6::Gui
    PRIVATE mycook_options)
