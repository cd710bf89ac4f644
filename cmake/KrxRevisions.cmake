# One tree, three plug-ins. The Delphi 11 plug-in is built from the units under src/<folder>;
# the two older plug-ins carry an older revision of some units. That revision lives in a
# variant folder (src/Variants/<Revision>/<folder>/<Unit>.h/.cpp): a unit there replaces the
# unit of the same name, a unit only there is added, and the units the revision does not
# have are dropped. Everything else is the same source, compiled once more with the variant
# folder first on the include path, so that every unit of the revision sees the revision's
# declarations (a class of two different shapes in one plug-in would break it silently).
# The platform library is shared by all of them.

# krx_system_libraries(PREFIX VARIANT_DIR OUT_VAR [DROP folder/unit.cpp ...] [LIBS lib ...])
# Makes one static library per system folder, named <PREFIX>_<folder>, and sets OUT_VAR to
# their list. VARIANT_DIR is empty for the current revision. LIBS are libraries only this
# revision's units use (linked by every folder, before the platform).
function(krx_system_libraries prefix variant_dir out_var)
  cmake_parse_arguments(R "" "" "DROP;LIBS" ${ARGN})
  if(variant_dir)
    # A header added to the variant folder shadows the one of the same name under src/ without
    # changing any file that a compile included before, so neither ninja's nor ccache's record
    # of included headers would notice it, and objects built against the shadowed header would
    # be reused. The list of the folder's headers is therefore part of every compile command of
    # the revision (no code reads the definition).
    file(GLOB_RECURSE variant_headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/${variant_dir}
         ${CMAKE_SOURCE_DIR}/${variant_dir}/*.h)
    list(SORT variant_headers)
    string(MD5 variant_headers_hash "${variant_headers}")
  endif()
  set(libs)
  foreach(folder ${KRX_SYSTEM_FOLDERS})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
    set(own)
    if(variant_dir)
      file(GLOB own CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${variant_dir}/${folder}/*.cpp)
      foreach(s ${own})
        get_filename_component(unit ${s} NAME)
        list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/src/${folder}/${unit})
      endforeach()
      foreach(d ${R_DROP})
        list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/src/${d})
      endforeach()
    endif()
    string(REPLACE "/" "_" name "${folder}")
    string(TOLOWER "${prefix}_${name}" lib)
    if(sources OR own)
      add_library(${lib} STATIC ${sources} ${own})
      if(variant_dir)
        target_include_directories(${lib} PUBLIC ${CMAKE_SOURCE_DIR}/${variant_dir})
        target_compile_definitions(${lib} PUBLIC KRX_VARIANT_HEADERS=${variant_headers_hash})
      endif()
      target_include_directories(${lib} PUBLIC ${CMAKE_SOURCE_DIR}/src)
      target_link_libraries(${lib} PUBLIC ${R_LIBS} ${KRX_PLATFORM_LIBS})
      # Chains through three folders (Engine -> Common -> World) need the group three times.
      set_property(TARGET ${lib} PROPERTY LINK_INTERFACE_MULTIPLICITY 3)
    else()
      add_library(${lib} INTERFACE)
      target_include_directories(${lib} INTERFACE ${CMAKE_SOURCE_DIR}/src)
      target_link_libraries(${lib} INTERFACE ${R_LIBS} ${KRX_PLATFORM_LIBS})
    endif()
    list(APPEND libs ${lib})
  endforeach()
  # Units of one folder may call units of another in both directions (the folders group
  # units by kind, not by layer), so these libraries form one link group; CMake repeats a
  # cycle of static libraries on the link line.
  foreach(a ${libs})
    foreach(b ${libs})
      if(NOT a STREQUAL b)
        krx_link_if_real(${a} ${b})
      endif()
    endforeach()
  endforeach()
  set(${out_var} ${libs} PARENT_SCOPE)
endfunction()

# krx_revision(PREFIX VARIANT_DIR OUT_VAR [DROP ...] [LIBS ...]): the system libraries of a
# revision and its half of the unit start-up list (src/Units.cpp compiled against the
# revision, with the revision's own RevisionUnits.h), the platform last; OUT_VAR is what a
# program or plug-in of that revision links.
function(krx_revision prefix variant_dir out_var)
  cmake_parse_arguments(R "" "" "DROP;LIBS" ${ARGN})
  krx_system_libraries(${prefix} "${variant_dir}" libs ${ARGN})
  # A file directly in src/ finds "Engine/X.h" beside itself before any include path, so the
  # revision compiles a copy made outside src/ (kept current by CMake).
  set(units ${CMAKE_BINARY_DIR}/${prefix}/Units.cpp)
  configure_file(${CMAKE_SOURCE_DIR}/src/Units.cpp ${units} COPYONLY)
  add_library(${prefix}_units STATIC ${units})
  if(variant_dir)
    target_include_directories(${prefix}_units PUBLIC ${CMAKE_SOURCE_DIR}/${variant_dir})
  endif()
  target_include_directories(${prefix}_units PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${prefix}_units PUBLIC ${libs} ${R_LIBS} ${KRX_PLATFORM_LIBS})
  set(${out_var} ${prefix}_units ${libs} ${R_LIBS} ${KRX_PLATFORM_LIBS} PARENT_SCOPE)
endfunction()

# krx_this_ide(NAME VERSION): the one unit that tells a build which IDE it is for
# (src/ThisIDE.cpp), with VERSION one of the TDelphiVersion values.
function(krx_this_ide name version)
  add_library(${name} STATIC ${CMAKE_SOURCE_DIR}/src/ThisIDE.cpp)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_definitions(${name} PRIVATE KRX_THIS_IDE=${version})
endfunction()

# krx_plugin(NAME IDE_LIB IDE_NAME LIBS...): a plug-in library. The system's units are linked
# in, the platform is shared with the IDE; it exports its wizard entry only
# (src/PluginEntry.map) and names its own IDE in its version block.
function(krx_plugin name ide_lib ide_name)
  # A copy outside src/, for the reason given at krx_revision.
  set(entry ${CMAKE_BINARY_DIR}/${name}/PluginEntry.cpp)
  configure_file(${CMAKE_SOURCE_DIR}/src/PluginEntry.cpp ${entry} COPYONLY)
  add_library(${name} SHARED ${entry})
  set_target_properties(${name} PROPERTIES PREFIX ""
                        LINK_DEPENDS ${CMAKE_SOURCE_DIR}/src/PluginEntry.map)
  target_link_libraries(${name} PRIVATE ${ARGN} ${ide_lib})
  target_link_options(${name} PRIVATE
                      -Wl,--version-script=${CMAKE_SOURCE_DIR}/src/PluginEntry.map)
  krx_embed_version_info(${name} VERSION 11.0.0.1 PRODUCT_VERSION 11.0 FILE_TYPE DLL
    STRINGS FileDescription "Kestrune integration expert"
            CompanyName "Drummel Software"
            ProductName "Kestrune 11"
            Comments "For ${ide_name}"
            InternalName "${name}"
            LegalCopyright "Drummel Software")
endfunction()
