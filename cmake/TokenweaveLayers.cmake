# The library is built as one CMake library per folder of src/, stacked in
# layers. TOKENWEAVE_LAYERS lists them from the bottom up; a folder may use
# only folders listed before it, and says which with LINKS. Each folder's
# sources see the headers of itself and of what it links (directly or
# through the folders it links), and of nothing else: an include of a folder
# above, or beside, fails to compile. tests/layering checks the same order
# over every include of src/ and cli/ and names the offending line.

set(TOKENWEAVE_LAYERS containers port hashkit platlib rowbank model heuristics index analyser cli)

# tokenweave_layer_view(NAME LINKS... OUT var): makes the directory through
# which layer NAME sees the headers of itself and of every layer it links,
# directly or through the layers it links, and stores its path in var.
function(tokenweave_layer_view name)
    cmake_parse_arguments(VIEW "" "OUT" "LINKS" ${ARGN})
    list(FIND TOKENWEAVE_LAYERS ${name} rank)
    if(rank EQUAL -1)
        message(FATAL_ERROR "${name} is not a layer of TOKENWEAVE_LAYERS")
    endif()
    set(visible ${name})
    foreach(link ${VIEW_LINKS})
        list(FIND TOKENWEAVE_LAYERS ${link} link_rank)
        if(link_rank EQUAL -1 OR NOT link_rank LESS rank)
            message(FATAL_ERROR "layer ${name} may not link ${link}: only layers below it")
        endif()
        get_property(link_visible GLOBAL PROPERTY TOKENWEAVE_VISIBLE_${link})
        list(APPEND visible ${link_visible})
    endforeach()
    list(REMOVE_DUPLICATES visible)
    set_property(GLOBAL PROPERTY TOKENWEAVE_VISIBLE_${name} ${visible})

    set(view ${CMAKE_BINARY_DIR}/layer-views/${name})
    file(REMOVE_RECURSE ${view})
    file(MAKE_DIRECTORY ${view})
    foreach(folder ${visible})
        if(folder STREQUAL "cli")
            set(folder_dir ${PROJECT_SOURCE_DIR}/cli)
        else()
            set(folder_dir ${PROJECT_SOURCE_DIR}/src/${folder})
        endif()
        file(CREATE_LINK ${folder_dir} ${view}/${folder} SYMBOLIC)
    endforeach()
    set(${VIEW_OUT} ${view} PARENT_SCOPE)
endfunction()

# tokenweave_layer(NAME SOURCES file... [LINKS layer...] [GENERATED file...])
# Defines the object library tokenweave_<NAME> from src/<NAME>/<file>.
function(tokenweave_layer name)
    cmake_parse_arguments(LAYER "" "" "SOURCES;LINKS;GENERATED" ${ARGN})
    tokenweave_layer_view(${name} LINKS ${LAYER_LINKS} OUT view)
    set(target tokenweave_${name})
    list(TRANSFORM LAYER_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/${name}/)
    add_library(${target} OBJECT ${LAYER_SOURCES} ${LAYER_GENERATED})
    tokenweave_strict_warnings(${target})
    target_include_directories(${target} PRIVATE ${view}
        PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>)
    target_compile_definitions(${target} PRIVATE TOKENWEAVE_BUILDING)
    foreach(link ${LAYER_LINKS})
        target_link_libraries(${target} PUBLIC tokenweave_${link})
    endforeach()
    set_property(GLOBAL APPEND PROPERTY TOKENWEAVE_LAYER_TARGETS ${target})
endfunction()
