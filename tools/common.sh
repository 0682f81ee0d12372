# Shared steps of the project's scripts; meant to be sourced.

# ensure_packages GROUP: see tools/ensure-packages.sh.
ensure_packages() {
  "$root/tools/ensure-packages.sh" "$@"
}

# Two habits of meson-python 0.12 with a build directory it is given:
# - it keeps a native file in the source tree and, when that file matches,
#   asks Meson to reconfigure the directory, which fails if it was never
#   configured (a clean build/, or one removed by hand); without the file it
#   configures afresh;
# - it reads the install plan before building, so a plan left from before a
#   meson.build change misses new files; regenerating first brings it up to
#   date.
prepare_wheel_build_dir() {
  if [[ -f $1/meson-private/coredata.dat ]]; then
    ninja -C "$1" build.ninja >/dev/null || true
  else
    rm -f "$root/.mesonpy-native-file.ini"
  fi
}

# A virtual environment on Debian's interpreter (which has meson-python),
# with the package installed the normal way: pip from the source tree.
# Extra arguments go to pip (the tests add -Dwerror=true as a setup arg).
install_into_venv() {
  if [[ ! -x build/venv/bin/python ]]; then
    /usr/bin/python3 -m venv --system-site-packages build/venv || return 1
  fi
  prepare_wheel_build_dir "$root/build/pip"
  build/venv/bin/python -m pip install --quiet --no-build-isolation --no-deps --no-index \
    --config-settings=builddir="$root/build/pip" "$@" "$root"
}
