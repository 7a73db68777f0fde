# Shared by scripts/test-postgres.sh and scripts/bench-postgres.sh (sourced,
# with root, skip and sudo set): builds the extension out of the source tree
# over a position-independent build of the library, and installs it into the
# server's folders until the calling script exits.

pg_lib=build/postgres/lib
pg_ext=$root/build/postgres/extension

# make with the extension's Makefile, in its build folder.
pgmake() {
  make -s -C "$pg_ext" -f "$root/postgres/Makefile" VPATH="$root/postgres" VANTEL_BUILD="$root/$pg_lib" \
    VANTEL_CLI="$VANTEL_CLI" VANTEL_WERROR=ON "$@"
}

build_and_install_extension() {
  scripts/install-deps.sh core postgres
  scripts/build.sh "$pg_lib" -DCMAKE_BUILD_TYPE=Release -DCMAKE_POSITION_INDEPENDENT_CODE=ON
  export VANTEL_CLI=${VANTEL_CLI:-$root/$pg_lib/cli/vantel}
  mkdir -p "$pg_ext"
  pgmake
  trap '"${sudo[@]}" make -s -C "$pg_ext" -f "$root/postgres/Makefile" VPATH="$root/postgres" uninstall' EXIT
  "${sudo[@]}" make -s -C "$pg_ext" -f "$root/postgres/Makefile" VPATH="$root/postgres" VANTEL_BUILD="$root/$pg_lib" install
}

# Sets sudo=() as root, sudo=(sudo) where sudo works without a password, or skips.
find_installer() {
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
      sudo=(sudo)
    else
      skip "installing the extension into the server's folders needs root or sudo"
    fi
  fi
}
