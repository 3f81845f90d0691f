# shellcheck shell=bash
# Sourced by scripts/test, scripts/demo, scripts/package and scripts/screenshots:
# the one set of flags of the plain build in build/, so that none of them
# recompiles what another compiled (a changed flag recompiles everything).
# VARLODI_BUILD_DIR names another folder.
plain_build=${VARLODI_BUILD_DIR:-build}
# No debug information: the plain build compiles in about half the time.
# Prefix /usr: the Debian packages are made from this build and install
# where it was configured to.
plain_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG"
    -DVARLODI_WERROR=ON -DVARLODI_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr)

# Configures the plain build with those flags and any given -D options; an
# option not given keeps the folder's value (a demo after the tests keeps the
# tests in the build).
# shellcheck disable=SC2120  # called with no options as well
configure_plain() {
    local generator=()
    [[ -f $plain_build/CMakeCache.txt ]] || generator=(-G Ninja)
    cmake -S . -B "$plain_build" "${generator[@]}" "${plain_flags[@]}" "$@" >/dev/null
}
