# The installed layout (GNUInstallDirs) and the helpers that put each part in its place.
# Programs find their parts relative to their own folder, so every relative path a program
# needs at run time is written into platform/install_dirs.h at configure time.
include(GNUInstallDirs)

# The project's libraries are private to its programs: no SONAME versions, no headers, a
# folder of their own that only our RUNPATHs name.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT CMAKE_INSTALL_LIBDIR MATCHES "${CMAKE_LIBRARY_ARCHITECTURE}$")
  set(VARK_INSTALL_PKGLIBDIR "${CMAKE_INSTALL_LIBDIR}/${CMAKE_LIBRARY_ARCHITECTURE}/vark-p")
else()
  set(VARK_INSTALL_PKGLIBDIR "${CMAKE_INSTALL_LIBDIR}/vark-p")
endif()
set(VARK_INSTALL_PKGDATADIR "${CMAKE_INSTALL_DATADIR}/vark-p")
set(VARK_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/vark-p")

# The build tree keeps run-time data in the same place relative to build/bin as an install
# keeps it relative to bin, so one lookup serves both.
set(VARK_BUILD_PKGDATADIR "${CMAKE_BINARY_DIR}/${VARK_INSTALL_PKGDATADIR}")

function(vark_relative_path out from to)
  file(RELATIVE_PATH rel "/prefix/${from}" "/prefix/${to}")
  if(rel STREQUAL "")
    set(rel ".")
  endif()
  set(${out} "${rel}" PARENT_SCOPE)
endfunction()
vark_relative_path(VARK_REL_BIN_TO_PKGLIB ${CMAKE_INSTALL_BINDIR} ${VARK_INSTALL_PKGLIBDIR})
vark_relative_path(VARK_REL_LIBEXEC_TO_PKGLIB ${CMAKE_INSTALL_LIBEXECDIR} ${VARK_INSTALL_PKGLIBDIR})
vark_relative_path(VARK_REL_BIN_TO_LIBEXEC ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_LIBEXECDIR})
vark_relative_path(VARK_REL_BIN_TO_DATA ${CMAKE_INSTALL_BINDIR} ${VARK_INSTALL_PKGDATADIR})
vark_relative_path(VARK_REL_LIBEXEC_TO_DATA ${CMAKE_INSTALL_LIBEXECDIR} ${VARK_INSTALL_PKGDATADIR})
vark_relative_path(VARK_REL_BIN_TO_DOC ${CMAKE_INSTALL_BINDIR} ${VARK_INSTALL_DOCDIR})
file(RELATIVE_PATH VARK_REL_BUILD_BIN_TO_DATA "${CMAKE_BINARY_DIR}/bin" "${VARK_BUILD_PKGDATADIR}")

# vark_install_program(TARGET [LIBEXEC]): a program into bin (or libexec) with a RUNPATH to
# the private library folder relative to where it lands.
function(vark_install_program target)
  cmake_parse_arguments(P "LIBEXEC" "" "" ${ARGN})
  if(P_LIBEXEC)
    set(dir ${CMAKE_INSTALL_LIBEXECDIR})
    set(rpath "$ORIGIN/${VARK_REL_LIBEXEC_TO_PKGLIB}")
  else()
    set(dir ${CMAKE_INSTALL_BINDIR})
    set(rpath "$ORIGIN/${VARK_REL_BIN_TO_PKGLIB}")
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${rpath}")
  install(TARGETS ${target} RUNTIME DESTINATION ${dir})
endfunction()

# Every shared library the build defines, except the tests' own, goes into the private folder;
# each finds its neighbours through $ORIGIN (RUNPATH is not inherited by dependencies).
function(vark_collect_shared_libraries out dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  set(found)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "SHARED_LIBRARY" AND NOT t MATCHES "test|fuzz")
      list(APPEND found ${t})
    endif()
  endforeach()
  foreach(d IN LISTS subdirs)
    vark_collect_shared_libraries(more ${d})
    list(APPEND found ${more})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(vark_install_shared_libraries)
  vark_collect_shared_libraries(libraries ${CMAKE_SOURCE_DIR})
  foreach(lib IN LISTS libraries)
    set_target_properties(${lib} PROPERTIES INSTALL_RPATH "$ORIGIN")
  endforeach()
  install(TARGETS ${libraries} LIBRARY DESTINATION ${VARK_INSTALL_PKGLIBDIR})
endfunction()

# vark_data_file(SOURCE RELATIVE_DESTINATION): a run-time data file, copied into the build
# tree's data folder when it changes and installed under share/vark-p.
function(vark_data_file source rel)
  get_filename_component(reldir ${rel} DIRECTORY)
  configure_file(${source} ${VARK_BUILD_PKGDATADIR}/${rel} COPYONLY)
  install(FILES ${source} DESTINATION ${VARK_INSTALL_PKGDATADIR}/${reldir})
endfunction()
