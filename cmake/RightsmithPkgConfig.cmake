# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause

# pkg-config files rightsmith-core.pc and rightsmith-widgets.pc, installed in
# ${libdir}/pkgconfig. The prefix is the one installed to (cmake --install
# --prefix, or CPack's), so they are written when installing; install
# directories given as absolute paths are written as they are.
foreach(dir LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
        set(RIGHTSMITH_PC_${dir} "${CMAKE_INSTALL_${dir}}")
    else()
        set(RIGHTSMITH_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
    endif()
endforeach()
# Left for the install step to fill in.
set(RIGHTSMITH_PC_PREFIX "@CMAKE_INSTALL_PREFIX@")

function(rightsmith_pkgconfig name library title requires)
    set(RIGHTSMITH_PC_NAME "${title}")
    set(RIGHTSMITH_PC_DESCRIPTION "${PROJECT_DESCRIPTION} (${title})")
    set(RIGHTSMITH_PC_LIBRARY ${library})
    set(RIGHTSMITH_PC_REQUIRES "${requires}")
    set(template ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${name}.pc.in)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/install/${name}.pc)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/rightsmith.pc.in ${template} @ONLY)
    install(CODE "configure_file(\"${template}\" \"${output}\" @ONLY)" COMPONENT Development)
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
endfunction()

rightsmith_pkgconfig(rightsmith-core rightsmithcore "Rightsmith Core" "Qt6Core Qt6Gui")
rightsmith_pkgconfig(rightsmith-widgets rightsmithwidgets "Rightsmith Widgets"
                     "Qt6Widgets rightsmith-core")
