# What `cmake --install` puts where, and the Debian packages CPack makes of it
# (scripts/package): "varlodi" with the console program, its manual and its
# examples, and "varlodi-gui" with the window, so that a server needs no Qt.
include(GNUInstallDirs)
set(VARLODI_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/varlodi)

# The manual carries the version; gzip -n keeps the package reproducible.
configure_file(${PROJECT_SOURCE_DIR}/man/varlodi.1 ${PROJECT_BINARY_DIR}/man/varlodi.1 @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/man/varlodi.1.gz
  COMMAND gzip -9nc varlodi.1 > varlodi.1.gz
  DEPENDS ${PROJECT_BINARY_DIR}/man/varlodi.1
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man)
add_custom_target(varlodi_manual ALL DEPENDS ${PROJECT_BINARY_DIR}/man/varlodi.1.gz)

install(TARGETS varlodi RUNTIME COMPONENT programa)
install(FILES ${PROJECT_BINARY_DIR}/man/varlodi.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programa)
install(FILES README.md DESTINATION ${VARLODI_DOCDIR} COMPONENT programa)
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/definiciones.md)
  install(FILES docs/definiciones.md DESTINATION ${VARLODI_DOCDIR} COMPONENT programa)
endif()
install(DIRECTORY examples/ DESTINATION ${VARLODI_DOCDIR}/examples COMPONENT programa
        PATTERN ".gitattributes" EXCLUDE)
# The state folder of root's and systemd's runs belongs to the package, but
# only to it: a plain `cmake --install` into a prefix leaves /var alone.
install(DIRECTORY DESTINATION /var/lib/varlodi COMPONENT programa EXCLUDE_FROM_ALL)

if(TARGET varlodi-gui)
  install(TARGETS varlodi-gui RUNTIME COMPONENT gui)
  # varlodi-gui takes the same command line: its manual is varlodi(1).
  file(CREATE_LINK varlodi.1.gz ${PROJECT_BINARY_DIR}/man/varlodi-gui.1.gz SYMBOLIC)
  install(FILES ${PROJECT_BINARY_DIR}/man/varlodi-gui.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT gui)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varlodi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(NOT CPACK_PACKAGE_CONTACT)
  set(CPACK_PACKAGE_CONTACT "VarloDI <varlodi@localhost>")
endif()
# The package installs where the build was configured to install (/usr in
# scripts/package), so the program and its files agree on where they are.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programa)
if(TARGET varlodi-gui)
  list(APPEND CPACK_COMPONENTS_ALL gui)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends from the libraries the programs actually link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_PROGRAMA_PACKAGE_NAME varlodi)
set(CPACK_DEBIAN_PROGRAMA_PACKAGE_RECOMMENDS "odbc-postgresql, tdsodbc")
set(CPACK_DEBIAN_PROGRAMA_PACKAGE_SUGGESTS "sqlite3")
set(CPACK_COMPONENT_PROGRAMA_DESCRIPTION
    "Importador de datos Varlo: archivos de texto a la base de datos
Importa archivos de texto (columnas de ancho fijo o separadas) a las tablas
del sistema Varlo y la planeación de faltas a Kardex, según un archivo de
definiciones INI; escribe una bitácora mensual y los registros importados y
rechazados. SQLite es la base predeterminada; PostgreSQL se alcanza con libpq
(o con psqlODBC) y SQL Server (FreeTDS) por unixODBC.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME varlodi-gui)
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "varlodi (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION x11)
set(CPACK_COMPONENT_GUI_DESCRIPTION
    "Importador de datos Varlo, en una ventana Qt
La misma importación que varlodi, con la misma línea de órdenes, mostrando su
avance en una ventana Qt 6.")

include(CPack)
