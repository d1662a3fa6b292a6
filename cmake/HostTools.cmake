# The host tools a cross build runs (the packer and the stand-in generator), built natively in a
# nested build of this same tree, so that one `cmake --build` makes everything.
include(ExternalProject)

set(HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools CACHE PATH "Binary folder of the nested host build")
set(HOST_PACKER ${HOST_TOOLS_DIR}/tools/packer/packer)
set(HOST_STANDINS ${HOST_TOOLS_DIR}/tools/standins/standins)

ExternalProject_Add(host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${HOST_TOOLS_DIR}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DHOST_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
               -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${HOST_PACKER} ${HOST_STANDINS}
    USES_TERMINAL_BUILD ON)

# As imported targets, so that build rules name tools, not paths. The nested build's outputs are
# its byproducts: Ninja orders every rule that uses them after it.
foreach(tool packer standins)
    add_executable(${tool} IMPORTED GLOBAL)
endforeach()
set_target_properties(packer PROPERTIES IMPORTED_LOCATION ${HOST_PACKER})
set_target_properties(standins PROPERTIES IMPORTED_LOCATION ${HOST_STANDINS})
