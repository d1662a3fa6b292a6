# For the cross build's payload rules, after the imported host tool `standins` exists:
#   standins_files(<out-var> <dir> [OLD])
# sets <out-var> to the four files to pack, in update-set order. When PAYLOAD_SOURCE_DIR names
# a folder of the real game files, those are used as they are; otherwise (and always with OLD,
# the versions a demo install starts from) stand-ins are generated into <dir> from game_stub.
set(PAYLOAD_SOURCE_DIR "" CACHE PATH "Folder of the real game files to pack instead of stand-ins")

function(standins_files OUT_VAR DIR)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "OLD" "" "")
    set(names KALDOREN.EXE mg_data.mbl mg_data2.mbl mg_gra3.mbl)
    if(PAYLOAD_SOURCE_DIR AND NOT ARG_OLD)
        list(TRANSFORM names PREPEND "${PAYLOAD_SOURCE_DIR}/" OUTPUT_VARIABLE files)
        foreach(file IN LISTS files)
            if(NOT EXISTS "${file}")
                message(FATAL_ERROR "PAYLOAD_SOURCE_DIR has no ${file}")
            endif()
        endforeach()
    else()
        list(TRANSFORM names PREPEND "${DIR}/" OUTPUT_VARIABLE files)
        set(old_flag "")
        if(ARG_OLD)
            set(old_flag --old)
        endif()
        add_custom_command(OUTPUT ${files}
            COMMAND standins "${DIR}" --exe-stub "$<TARGET_FILE:game_stub>" ${old_flag}
            DEPENDS "$<TARGET_FILE:standins>" game_stub
            COMMENT "Generating the stand-in game files in ${DIR}"
            VERBATIM)
    endif()
    set(${OUT_VAR} ${files} PARENT_SCOPE)
endfunction()
