# The floors of the program's folders and the check that no folder includes
# a header of a floor above its own. src/CMakeLists.txt runs it at every
# configuration; tests/tst_layers.cmake runs it on sources it writes.

# The floor of each folder, lowest first. function.h, beside the folders,
# belongs to storage; the forms' generated headers and the About window's
# credits to the windows.
set(VEDOMER_LAYERS storage view export windows)

function(vedomer_layer_of path result)
    if(path STREQUAL "function.h")
        set(${result} storage PARENT_SCOPE)
    elseif(path MATCHES "^ui_.*\\.h$" OR path STREQUAL "aboutcredits.h")
        set(${result} windows PARENT_SCOPE)
    elseif(path MATCHES "^([a-z]+)/")
        set(${result} ${CMAKE_MATCH_1} PARENT_SCOPE)
    else()
        set(${result} "" PARENT_SCOPE)
    endif()
endfunction()

# Reads the includes of `source` (below `root`), whether in quotes or in
# angle brackets, and appends to the list named `faults_var` a line for
# each header of a floor above `layer`. A system header in angle brackets
# (<QString>, <functional>) names no floor and passes. Inside storage, db/
# is the lowest room: what the rooms built on it do as it works is given to
# it as a callback, so it includes none of their headers.
function(vedomer_layer_faults root source layer faults_var)
    list(FIND VEDOMER_LAYERS ${layer} own_rank)
    set(found ${${faults_var}})
    file(STRINGS ${root}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]+[\">]")
    foreach(line ${includes})
        string(REGEX REPLACE "^[^\"<]*[\"<]([^\">]+)[\">].*$" "\\1" included "${line}")
        vedomer_layer_of(${included} included_layer)
        list(FIND VEDOMER_LAYERS "${included_layer}" included_rank)
        if(included_rank GREATER own_rank)
            list(APPEND found "src/${source} (${layer}) includes \"${included}\" (${included_layer})")
        endif()
        if(source MATCHES "^storage/db/" AND included MATCHES "^storage/(history|reports|import|register|copies)/")
            string(REGEX REPLACE "^(storage/[a-z]+)/.*$" "\\1" room "${included}")
            list(APPEND found "src/${source} (storage/db) includes \"${included}\" (${room})")
        endif()
    endforeach()
    set(${faults_var} ${found} PARENT_SCOPE)
endfunction()
