# The forms side of the class library on real windows. Its test layouts are stored Shift-JIS, as
# the program's are.
set(test_layout_dir ${CMAKE_CURRENT_BINARY_DIR}/layouts)
file(GLOB test_layouts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/layouts/*.layout)
set(converted_layouts)
foreach(layout IN LISTS test_layouts)
    get_filename_component(name ${layout} NAME)
    add_custom_command(OUTPUT ${test_layout_dir}/${name}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${test_layout_dir}
        COMMAND iconv -f UTF-8 -t CP932 ${layout} > ${test_layout_dir}/${name}
        DEPENDS ${layout})
    list(APPEND converted_layouts ${test_layout_dir}/${name})
endforeach()
add_custom_target(test_layouts DEPENDS ${converted_layouts})

add_library(forms_test_resources OBJECT layouts/layouts.rc)
target_include_directories(forms_test_resources PRIVATE ${test_layout_dir})
set_source_files_properties(layouts/layouts.rc PROPERTIES OBJECT_DEPENDS "${converted_layouts}")
add_dependencies(forms_test_resources test_layouts)

add_executable(win32_forms_tests FormsTest.cpp $<TARGET_OBJECTS:forms_test_resources>)
target_link_libraries(win32_forms_tests PRIVATE classlib GTest::gtest_main)
add_wine_test(win32_forms_tests wine LOCK session)
