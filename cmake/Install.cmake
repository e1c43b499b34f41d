# What an installation holds (the Debian package of `make deb`, a Windows
# installation): the programs in bin, the default settings files in
# share/corvane, where an installed program finds them (installedDataFolder),
# and on Linux the desktop entry, the icon and the udev rule for the
# instrument's USB serial bridge.
include(GNUInstallDirs)

foreach(program corvane corvane-cli corvane-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES
  resources/prefs.cfg
  resources/rotors.txt
  resources/short_checklist.txt
  resources/detailed_checklist.txt
  DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane)

if(UNIX AND NOT APPLE)
  if(TARGET corvane)
    install(FILES packaging/corvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES packaging/corvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()
  # Debian keeps packaged udev rules in /lib/udev/rules.d; an installation
  # elsewhere keeps them below its own prefix.
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(udev_rules_dir /lib/udev/rules.d)
  else()
    set(udev_rules_dir ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)
  endif()
  install(FILES packaging/60-corvane-serial-bridge.rules DESTINATION ${udev_rules_dir})
endif()
