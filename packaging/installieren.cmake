# `cmake --install <build dir>` puts the bundle the build assembled into
# ~/Applications, a launcher and the icons into the user's applications menu
# and, as root, the PAM service file into /etc/pam.d. Without a prefix
# (CMake's default /usr/local) the home is that of the user who installs,
# read at install time, so one build tree serves whoever installs from it;
# `--prefix DIR` installs as if DIR were the home folder.
install(CODE "
  set(TW_BUENDEL [==[${TW_BUENDEL}]==])
  set(TW_PAKETIERUNG [==[${CMAKE_CURRENT_LIST_DIR}]==])
  set(TW_ABLAGE [==[${CMAKE_BINARY_DIR}/packaging]==])")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/installation.cmake)
