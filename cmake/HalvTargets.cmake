# Helpers that give every target of the project the same shape.

function(halv_add_dir_if_present dir)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${PROJECT_SOURCE_DIR}/${dir} ${PROJECT_BINARY_DIR}/${dir})
  endif()
endfunction()

# A library of the installer itself (package, engine, wizard, controls, raster,
# util): plain C-style C++ with no exceptions, no RTTI and no libstdc++ use, so
# that the shipped programs stay small and load on Windows 2000.
function(halv_plain_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti> ${HALV_SMALL_CODE_FLAGS})
endfunction()

# Without exceptions no unwind tables are needed; with one section per
# function the linker drops whatever the program does not call; and 32-bit
# Windows only promises a 4-byte aligned stack, which code without SSE never
# needs more of. (Only for the shipped 32-bit build: 64-bit Windows code keeps
# its unwind data.)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(HALV_SMALL_CODE_FLAGS -fno-asynchronous-unwind-tables -ffunction-sections -mpreferred-stack-boundary=2)
endif()

# A program we ship for Windows: GUI subsystem, small, stripped in Release.
function(halv_windows_program name)
  add_executable(${name} WIN32 ${ARGN})
  target_compile_options(${name} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti> ${HALV_SMALL_CODE_FLAGS})
  target_link_options(${name} PRIVATE -Wl,--gc-sections $<$<CONFIG:Release>:-s>)
  # The shipped 32-bit programs start at their own entry point, without the C
  # runtime's start-up code (src/controls/program_start.cpp); no import of
  # data may then need fixing at run time, so the linker is told to refuse one.
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src/controls/program_start.cpp)
    target_link_options(${name} PRIVATE -nostartfiles -Wl,-e,_programStart@0 -Wl,--disable-auto-import)
  endif()
  set_property(GLOBAL APPEND PROPERTY HALV_SHIPPED_PROGRAMS ${name})
endfunction()
