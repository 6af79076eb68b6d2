# Runs at install time (see installieren.cmake). DESTDIR stages as usual.

if(CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
  set(tw_heim "$ENV{HOME}")
  set(tw_daten "$ENV{XDG_DATA_HOME}")
  # The XDG base directory rules ignore a relative one.
  if(NOT IS_ABSOLUTE "${tw_daten}")
    set(tw_daten "${tw_heim}/.local/share")
  endif()
  if(NOT IS_ABSOLUTE "${tw_heim}")
    message(FATAL_ERROR "No home folder to install into (HOME is \"${tw_heim}\"); name one with --prefix DIR")
  endif()
else()
  # A relative prefix counts from where cmake was started.
  get_filename_component(tw_heim "${CMAKE_INSTALL_PREFIX}" ABSOLUTE BASE_DIR "$ENV{PWD}")
  set(tw_daten "${tw_heim}/.local/share")
endif()

get_filename_component(tw_name "${TW_BUENDEL}" NAME)
set(tw_ziel "${tw_heim}/Applications/${tw_name}")
set(tw_programm "${tw_ziel}/Contents/MacOS/TalerWacht")
# Control characters would break the launcher's lines, and CMake takes a
# backslash in a path for a slash.
string(ASCII 1 tw_von)
string(ASCII 31 tw_bis)
string(FIND "$ENV{DESTDIR}${tw_programm}" "\\" tw_rueckstrich)
if(tw_programm MATCHES "[${tw_von}-${tw_bis}]" OR tw_rueckstrich GREATER -1)
  message(FATAL_ERROR "Cannot install into \"${tw_programm}\": it contains a control character or a backslash")
endif()

foreach(tw_teil Info.plist MacOS/TalerWacht MacOS/taler-wacht-fenster MacOS/taler-wacht-status
                Resources/geld-bote Resources/starten Resources/symbole)
  if(NOT EXISTS "${TW_BUENDEL}/Contents/${tw_teil}")
    message(FATAL_ERROR "\"${TW_BUENDEL}\" lacks Contents/${tw_teil}: build it first (cmake --build)")
  endif()
endforeach()

# A fresh copy: files an older bundle had would otherwise stay, and spoil its signature.
file(REMOVE_RECURSE "$ENV{DESTDIR}${tw_ziel}")
file(INSTALL "${TW_BUENDEL}" DESTINATION "${tw_heim}/Applications" USE_SOURCE_PERMISSIONS)

# The tray icons by name for hosts that ignore the app's own icon folder, and the app's icon.
set(tw_hicolor "${tw_daten}/icons/hicolor")
file(GLOB tw_symbole "${TW_BUENDEL}/Contents/Resources/symbole/*.svg")
file(INSTALL ${tw_symbole} DESTINATION "${tw_hicolor}/scalable/status")
file(INSTALL "${TW_PAKETIERUNG}/taler-wacht.svg" DESTINATION "${tw_hicolor}/scalable/apps")

# Exec quoting as in the bundle's start script: inside double quotes " ` and $
# take a backslash (the path has none of its own), % is doubled, then the key
# file's escaping doubles every backslash. TryExec is the plain path.
string(REPLACE "\"" "\\\"" tw_exec "${tw_programm}")
string(REPLACE "`" "\\`" tw_exec "${tw_exec}")
string(REPLACE "$" "\\$" tw_exec "${tw_exec}")
string(REPLACE "%" "%%" tw_exec "${tw_exec}")
string(REPLACE "\\" "\\\\" tw_exec "\"${tw_exec}\"")
configure_file("${TW_PAKETIERUNG}/taler-wacht.desktop.in" "${TW_ABLAGE}/taler-wacht.desktop" @ONLY)
file(INSTALL "${TW_ABLAGE}/taler-wacht.desktop" DESTINATION "${tw_daten}/applications")

# The PAM service is the machine's: only root (or a staging DESTDIR) writes it,
# and a copy changed by the administrator stays.
set(tw_pam_ordner "$ENV{TW_PAM_ORDNER}")
if(tw_pam_ordner STREQUAL "")
  set(tw_pam_ordner /etc/pam.d)
endif()
set(tw_pam_quelle "${TW_PAKETIERUNG}/pam.d/taler-wacht")
set(tw_pam_datei "$ENV{DESTDIR}${tw_pam_ordner}/taler-wacht")
execute_process(COMMAND id -u OUTPUT_VARIABLE tw_kennung OUTPUT_STRIP_TRAILING_WHITESPACE)
file(READ "${tw_pam_quelle}" tw_pam_soll)
set(tw_pam_ist "")
if(EXISTS "${tw_pam_datei}")
  file(READ "${tw_pam_datei}" tw_pam_ist)
endif()
if(NOT tw_kennung STREQUAL "0" AND "$ENV{DESTDIR}" STREQUAL "")
  if(NOT EXISTS "${tw_pam_datei}")
    message(STATUS "Without root no ${tw_pam_datei}: PAM uses \"other\" until root runs "
                   "install -m 644 \"${tw_pam_quelle}\" \"${tw_pam_ordner}/\"")
  endif()
elseif(EXISTS "${tw_pam_datei}" AND NOT tw_pam_ist STREQUAL tw_pam_soll)
  message(STATUS "Kept as changed locally: ${tw_pam_datei}")
else()
  file(INSTALL "${tw_pam_quelle}" DESTINATION "${tw_pam_ordner}"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()

# Menus and running programs see the changes; a staged install leaves that to its package.
if("$ENV{DESTDIR}" STREQUAL "")
  find_program(tw_menue_auffrischen update-desktop-database)
  if(tw_menue_auffrischen)
    execute_process(COMMAND "${tw_menue_auffrischen}" -q "${tw_daten}/applications")
  endif()
  # Only a cache that is there needs renewing; without one the folder's time tells programs to look again.
  find_program(tw_symbole_auffrischen gtk-update-icon-cache)
  if(tw_symbole_auffrischen AND EXISTS "${tw_hicolor}/icon-theme.cache")
    execute_process(COMMAND "${tw_symbole_auffrischen}" -q -t -f "${tw_hicolor}")
  else()
    file(TOUCH_NOCREATE "${tw_hicolor}")
  endif()
  message(STATUS "Taler Wacht is in the applications menu; it starts with \"${tw_programm}\"")
endif()
