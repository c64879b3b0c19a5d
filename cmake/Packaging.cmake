# Release packages, made by CPack from a built tree (scripts/package.sh makes all three):
#  - the 32-bit Windows cross build: tollwick-<version>-windows.zip, the one Windows
#    package (the game's security library is 32-bit; a 64-bit program cannot load it, so
#    the 64-bit build is a test build, never offered: its zip, if made, says so in its
#    name), the program and a README for players at the top, and in a folder of their own (its name says it is
#    not for the game's folder) the kit with the stand-in security library and the
#    sample resource library of the same width, for trying Tollwick on a sample
#    installation: copied into the game's folder they would overwrite the game's own;
#  - the Linux build: tollwick_<version>_amd64.deb, the program under /usr/lib/tollwick
#    with its modules and the 32-bit tollwick.exe beside it (it repairs, through Wine, a
#    game whose security library is the game's Windows one), the kit with the stand-in
#    libraries in the same sample folder below it, tollwick and zelkor-kit on the PATH as
#    links, the desktop entry and its icon, the manual pages and the players' README.
#    It depends on what the programs link and recommends what only the modules link
#    (GTK, the sound server's client) and Wine.
# The folder of the kit and the stand-ins, in both packages.
set(TOLLWICK_SAMPLE_FOLDER sample-kit-NOT-for-the-game-folder)
set(CPACK_PACKAGE_NAME tollwick)
set(CPACK_PACKAGE_VENDOR "Tollwick developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "repairs a bloated Zelkor character file")
set(CPACK_STRIP_FILES ON)
set(tollwick_packaging ${PROJECT_SOURCE_DIR}/packaging)

if(TOLLWICK_WINDOWS_CROSS)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TOLLWICK_PACKAGE_NAME windows)
    # The 32-bit program reads the 32-bit twin of the sample library.
    set(resource_library ${CMAKE_BINARY_DIR}/sample/Zelkor32.dll)
  else()
    set(TOLLWICK_PACKAGE_NAME win64-test-build-not-for-players)
    set(resource_library ${CMAKE_BINARY_DIR}/bin/Zelkor.dll)
  endif()
  install(TARGETS tollwick RUNTIME DESTINATION .)
  install(TARGETS zelkor-kit ZELKORSEC RUNTIME DESTINATION ${TOLLWICK_SAMPLE_FOLDER})
  install(FILES ${resource_library} DESTINATION ${TOLLWICK_SAMPLE_FOLDER} RENAME Zelkor.dll)
  # The players' README, with Windows line ends so that Notepad shows its lines.
  configure_file(${tollwick_packaging}/README-windows.txt ${CMAKE_BINARY_DIR}/packaging/README.txt
    @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)
  # What the question looks like, which the README points to.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/tollwick-exe-fix-character-file-now.png
    DESTINATION . RENAME screenshot.png)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tollwick-${PROJECT_VERSION}-${TOLLWICK_PACKAGE_NAME})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  find_program(TOLLWICK_GZIP gzip REQUIRED)
  set(libdir lib/tollwick)
  set(sampledir ${libdir}/${TOLLWICK_SAMPLE_FOLDER})
  install(TARGETS tollwick RUNTIME DESTINATION ${libdir})
  # The 32-bit Windows program of the win32 build (scripts/package.sh names the one of
  # its zip); a Windows program needs no execute bit under Wine.
  set(TOLLWICK_WINDOWS_PROGRAM "" CACHE FILEPATH
    "The 32-bit tollwick.exe the Debian package carries beside tollwick")
  if(TOLLWICK_WINDOWS_PROGRAM)
    install(FILES ${TOLLWICK_WINDOWS_PROGRAM} DESTINATION ${libdir} RENAME tollwick.exe
      PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  install(TARGETS zelkor-kit RUNTIME DESTINATION ${sampledir})
  install(TARGETS ZELKORSEC LIBRARY DESTINATION ${sampledir})
  # The program's modules lie beside it; what they link is only recommended
  # (cmake/DebianDependencies.cmake), so the package installs without a desktop.
  set(CPACK_TOLLWICK_MODULES)
  foreach(module tollwick_dialog_gtk tollwick_sound_pulse)
    if(TARGET ${module})
      install(TARGETS ${module} LIBRARY DESTINATION ${libdir})
      get_target_property(module_file ${module} OUTPUT_NAME)
      list(APPEND CPACK_TOLLWICK_MODULES ${module_file})
    endif()
  endforeach()
  install(FILES ${CMAKE_BINARY_DIR}/bin/Zelkor.dll DESTINATION ${sampledir}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  # On the PATH as relative links: the programs resolve links to find their directory.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/bin)
  foreach(program ${libdir}/tollwick ${sampledir}/zelkor-kit)
    get_filename_component(name ${program} NAME)
    file(CREATE_LINK ../${program} ${CMAKE_BINARY_DIR}/packaging/bin/${name} SYMBOLIC)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/bin/${name} DESTINATION bin)
  endforeach()
  install(FILES ${tollwick_packaging}/tollwick.desktop DESTINATION share/applications)
  install(FILES ${tollwick_packaging}/tollwick.png DESTINATION share/icons/hicolor/128x128/apps)
  install(FILES ${tollwick_packaging}/copyright DESTINATION share/doc/tollwick)
  # The players' README for Linux.
  install(FILES ${tollwick_packaging}/README-linux.txt DESTINATION share/doc/tollwick
    RENAME README)
  # The manual pages, made by help2man from each program's own --help and --version: the
  # help the program prints is the one text of how it is used, so the page cannot say
  # otherwise. Compressed without a time stamp, as Debian wants them.
  find_program(TOLLWICK_HELP2MAN help2man REQUIRED)
  set(TOLLWICK_MAN_PAGES)
  foreach(program tollwick zelkor-kit)
    if(program STREQUAL tollwick)
      set(summary "repair a bloated Zelkor character file")
    else()
      set(summary "make sample Zelkor installations and inspect game files")
    endif()
    set(page ${CMAKE_BINARY_DIR}/packaging/${program}.1)
    add_custom_command(OUTPUT ${page} ${page}.gz
      COMMAND ${TOLLWICK_HELP2MAN} --no-info --no-discard-stderr --section=1
        --name=${summary} --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${TOLLWICK_GZIP} -9nkf ${page}
      DEPENDS ${program}
      VERBATIM)
    list(APPEND TOLLWICK_MAN_PAGES ${page})
    install(FILES ${page}.gz DESTINATION share/man/man1)
  endforeach()
  add_custom_target(tollwick_man_pages ALL DEPENDS ${TOLLWICK_MAN_PAGES})
  if(TOLLWICK_BUILD_TESTS)
    add_test(NAME tollwick_man_page_test
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/man_page_test.sh
        ${CMAKE_BINARY_DIR}/packaging/tollwick.1 NAME SYNOPSIS "tollwick [GAME_FOLDER]"
        ENVIRONMENT TOLLWICK_TRANSCRIPT WINEPREFIX "Exit status" --version)
    add_test(NAME zelkor_kit_man_page_test
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/man_page_test.sh
        ${CMAKE_BINARY_DIR}/packaging/zelkor-kit.1 NAME SYNOPSIS make-install inspect --live)
  endif()
  # Debian's changelog of a native package: changelog.gz, compressed without a time stamp.
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${TOLLWICK_GZIP} -9nc ${tollwick_packaging}/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${tollwick_packaging}/changelog
    VERBATIM)
  add_custom_target(tollwick_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION share/doc/tollwick)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tollwick developers <tollwick@example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends and Recommends come from dpkg-shlibdeps, run on the staged files, and are
  # added to what is named here: Wine runs tollwick.exe for a game whose security
  # library is its Windows one.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianDependencies.cmake)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS wine)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tollwick reads the installation settings of the game Zelkor, checks every
protected data file of the chosen game system and, when the player agrees,
rebuilds the character file from its live records into a compact file that
replaces the old one. It speaks only through message boxes.
.
The game's own security library is a 32-bit Windows library: for it Tollwick
runs its 32-bit Windows build through Wine, in the game's Wine prefix.
.
zelkor-kit makes sample game installations and inspects game files.")
  set(CPACK_SET_DESTDIR OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

include(CPack)
