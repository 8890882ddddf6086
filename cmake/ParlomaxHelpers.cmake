# Shared build settings for every target of the project.

function(parlomax_apply_sanitizer kind)
  if(kind STREQUAL "")
    return()
  elseif(kind STREQUAL "address")
    set(flags -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  elseif(kind STREQUAL "thread")
    set(flags -fsanitize=thread -fno-omit-frame-pointer)
  else()
    message(FATAL_ERROR "PARLOMAX_SANITIZE must be empty, 'address' or 'thread', not '${kind}'")
  endif()
  add_compile_options(${flags} -g)
  add_link_options(${flags})
endfunction()

# Our own CI holds our code to -Werror (PARLOMAX_WERROR); a packager's
# build, with another compiler or other optimisation, only warns, since a new
# compiler's false alarm must not stop a distribution from building us. Qt's
# generated moc files are compiled as part of the same targets and stay
# clean under these flags.
function(parlomax_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(PARLOMAX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# parlomax_folder_includes(target scope): `target` may include the headers of
# the folder being configured, as "device/DeviceLink.h" or
# "platform/usb/UsbDeviceLibrary.h" (src/ and tools/ are the roots), and with
# scope PUBLIC or INTERFACE so may whatever links it. Its include path is a
# folder of its own under the build tree holding one link, named as the
# includes name the source folder; so a target sees its own folder and those
# of the libraries it links, and an include against the layering does not
# compile.
function(parlomax_folder_includes target scope)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  if(folder MATCHES "^\\.\\.")
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/tools ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} ${root})
endfunction()

# parlomax_library(name SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...]): a
# library of the folder being configured, which sees its own headers and
# those of the libraries it links.
function(parlomax_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  parlomax_folder_includes(${name} PUBLIC)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  parlomax_warnings(${name})
endfunction()

# parlomax_test_name(out source): the name of the test program for a source
# under tests/, from its folder and file: app/JobHostTest.cpp is
# app_job_host_test, and device/DeviceLinkTest.cpp device_link_test.
function(parlomax_test_name out source)
  get_filename_component(folder ${source} DIRECTORY)
  if(folder STREQUAL "" OR folder MATCHES "/")
    message(FATAL_ERROR "${source}: a test's source sits in one folder below tests/")
  endif()
  get_filename_component(file ${source} NAME_WE)
  string(REGEX REPLACE "([a-z0-9])([A-Z])" "\\1_\\2" file ${file})
  string(TOLOWER ${file} file)
  string(REGEX REPLACE "^${folder}_" "" file ${file})
  set(${out} ${folder}_${file} PARENT_SCOPE)
endfunction()

# parlomax_tests(SOURCES ... [LIBS ...] [FINDS ...] [QT_APP] [ALONE]): one test
# program per source, named by parlomax_test_name and linked with LIBS; its
# cases are registered with CTest one by one. QT_APP runs the cases inside a
# QApplication (widgets, message boxes, queued calls); ALONE runs them with no
# other test beside them (a build of its own); FINDS as parlomax_finds.
function(parlomax_tests)
  cmake_parse_arguments(ARG "QT_APP;ALONE" "" "SOURCES;LIBS;FINDS" ${ARGN})
  if(ARG_QT_APP)
    set(main parlomax_qt_test_main)
  else()
    set(main GTest::gtest_main)
  endif()
  set(alone "")
  if(ARG_ALONE)
    set(alone RUN_SERIAL TRUE TIMEOUT 1500)
  endif()
  foreach(source ${ARG_SOURCES})
    parlomax_test_name(name ${source})
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} parlomax_test_support GTest::gtest ${main})
    parlomax_warnings(${name})
    parlomax_finds(${name} ${ARG_FINDS})
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${alone})
  endforeach()
endfunction()

# parlomax_finds(target [DECODER] [PHONE] [WINDOW] [CLI]): the target starts
# the decoder, the emulator, the program itself or the command-line program
# from the build, by the paths PARLOMAX_DECODER_PROGRAM,
# PARLOMAX_PHONE_PROGRAM, PARLOMAX_PROGRAM and PARLOMAX_CLI_PROGRAM.
function(parlomax_finds target)
  foreach(kind ${ARGN})
    if(kind STREQUAL "DECODER")
      set(program speex-decoder)
      set(symbol PARLOMAX_DECODER_PROGRAM)
    elseif(kind STREQUAL "PHONE")
      set(program parlomax-phone)
      set(symbol PARLOMAX_PHONE_PROGRAM)
    elseif(kind STREQUAL "CLI")
      set(program parlomax-cli)
      set(symbol PARLOMAX_CLI_PROGRAM)
    elseif(kind STREQUAL "WINDOW")
      set(program parlomax)
      set(symbol PARLOMAX_PROGRAM)
    else()
      message(FATAL_ERROR "parlomax_finds: no program is known as '${kind}'")
    endif()
    target_compile_definitions(${target} PRIVATE ${symbol}="$<TARGET_FILE:${program}>")
    add_dependencies(${target} ${program})
  endforeach()
endfunction()
