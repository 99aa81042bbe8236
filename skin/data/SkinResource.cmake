# The default skin: its sources under default/ are packed at build time by our
# own packer, and the container rides in the program as a Qt resource with the
# three program bitmaps. skinpack packs the whole folder; a new file is listed
# here so that changing it packs the skin again.
set(MYCOOK_DEFAULT_SKIN_NAMES
    bottom.bmp button.bmp check.bmp close.bmp combobutton.bmp extra.bmp groupedge.bmp
    grouplabel.bmp header.bmp hscroll.bmp hthumb.bmp kitchen.ini left.bmp max.bmp
    mdi.bmp menuback.bmp menubar.bmp menuitem.bmp min.bmp progress.bmp progresschunk.bmp
    radio.bmp restore.bmp right.bmp scrollarrows.bmp spinhorz.bmp spinhorzglyph.bmp
    spinvert.bmp spinvertglyph.bmp statusbar.bmp sunkedge.bmp tabmask.bmp tabpane.bmp
    tabs.bmp textback.bmp toolbutton.bmp top.bmp track.bmp trackdown.bmp trackhorz.bmp
    trackleft.bmp trackright.bmp trackup.bmp trackvert.bmp trackvertbar.bmp vscroll.bmp
    vthumb.bmp)
list(TRANSFORM MYCOOK_DEFAULT_SKIN_NAMES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/default/
     OUTPUT_VARIABLE MYCOOK_DEFAULT_SKIN_FILES)
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
