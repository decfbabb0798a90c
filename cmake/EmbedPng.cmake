# corvane_embed_png(<target> <png>...): turns each PNG into a header
# <name>_png.h holding `static const unsigned char <name>_png[]`, the form
# wxBITMAP_PNG_FROM_DATA(<name>) expects, and adds its folder to <target>.
function(corvane_embed_png target)
    set(_outdir ${CMAKE_CURRENT_BINARY_DIR}/embedded)
    set(_headers)
    foreach(_png ${ARGN})
        get_filename_component(_name ${_png} NAME_WE)
        set(_out ${_outdir}/${_name}_png.h)
        add_custom_command(
            OUTPUT ${_out}
            COMMAND ${CMAKE_COMMAND} -DIN=${_png} -DOUT=${_out} -DNAME=${_name}
                    -P ${CMAKE_SOURCE_DIR}/cmake/EmbedPngScript.cmake
            DEPENDS ${_png} ${CMAKE_SOURCE_DIR}/cmake/EmbedPngScript.cmake
            COMMENT "Embedding ${_name}.png")
        list(APPEND _headers ${_out})
    endforeach()
    target_sources(${target} PRIVATE ${_headers})
    target_include_directories(${target} PRIVATE ${_outdir})
endfunction()
