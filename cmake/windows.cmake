# What the Windows programs need beside them: Qt's DLLs and plugins from Qt
# for Windows, and MinGW-w64's runtime DLLs that Qt and the programs share.
# They are copied into the build folder when it is configured (without their
# symbols), so that every program and test runs there as it would
# installed, and installed with the programs from there. Qt finds its
# plugins in the folders beside the program.

# Qt's DLLs come from the folder Qt6Core's lies in.
get_target_property(mx_qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT mx_qt_core_dll)
  get_target_property(mx_qt_core_dll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(mx_qt_bin ${mx_qt_core_dll} DIRECTORY)
get_filename_component(mx_qt_plugin_dir ${mx_qt_bin}/../plugins ABSOLUTE)

# Copies a DLL into the build folder's own folder for it, without symbols.
function(mx_deploy_dll dll folder)
  get_filename_component(name ${dll} NAME)
  set(copy ${CMAKE_BINARY_DIR}/${folder}/${name})
  if(NOT EXISTS ${copy} OR ${dll} IS_NEWER_THAN ${copy})
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/${folder})
    execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${copy} ${dll}
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${dll} could not be copied into the build")
    endif()
  endif()
endfunction()

# The runtime, where the compiler itself finds it.
set(mx_runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll libssp-0.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "MinGW-w64's ${dll} was not found")
  endif()
  list(APPEND mx_runtime_dlls ${found})
endforeach()

set(mx_installed_dlls ${mx_runtime_dlls})
foreach(module Core Gui Widgets PrintSupport)
  list(APPEND mx_installed_dlls ${mx_qt_bin}/Qt6${module}.dll)
endforeach()
foreach(dll ${mx_installed_dlls})
  mx_deploy_dll(${dll} .)
  get_filename_component(name ${dll} NAME)
  install(FILES ${CMAKE_BINARY_DIR}/${name} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
# The suites' alone: Qt's test library, and the platform they run on.
mx_deploy_dll(${mx_qt_bin}/Qt6Test.dll .)
mx_deploy_dll(${mx_qt_plugin_dir}/platforms/qoffscreen.dll platforms)

# The windows platform, for the editor and for mxcfg's PDFs, and the style
# that draws as Windows itself does.
foreach(plugin platforms/qwindows.dll styles/qwindowsvistastyle.dll)
  get_filename_component(folder ${plugin} DIRECTORY)
  mx_deploy_dll(${mx_qt_plugin_dir}/${plugin} ${folder})
  install(FILES ${CMAKE_BINARY_DIR}/${plugin} DESTINATION ${CMAKE_INSTALL_BINDIR}/${folder})
endforeach()

# Gives a program its icon, manifest and version information.
function(mx_windows_resources target description)
  set(MX_PROGRAM ${target})
  set(MX_PROGRAM_DESCRIPTION "${description}")
  set(MX_WINDOWS_DIR ${PROJECT_SOURCE_DIR}/packaging/windows)
  set(MX_PROGRAM_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${MX_WINDOWS_DIR}/program.manifest.in ${MX_PROGRAM_MANIFEST} @ONLY)
  configure_file(${MX_WINDOWS_DIR}/program.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS
               ${MX_PROGRAM_MANIFEST} ${MX_WINDOWS_DIR}/mx_config.ico)
endfunction()
