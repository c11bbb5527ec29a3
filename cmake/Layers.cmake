# A library's headers are visible only to what links it: each library's public
# include folder (in the build tree) holds one entry, its own source folder, so
# a file that includes a header of a library it does not link (a layer above
# its own) fails to compile. tools/check-layers.py checks the finer rules.
function(velloquin_public_folder target folder)
    set(dir ${CMAKE_BINARY_DIR}/layers/${target})
    get_filename_component(parent ${dir}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${dir})
    else()
        target_include_directories(${target} PUBLIC ${dir})
    endif()
endfunction()
