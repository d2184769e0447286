# Sourced by the scripts in scripts/ and by .ci/run: makes sure the tools a
# step needs are there. On Debian, as root, whatever is missing is installed
# with apt-get (after one `apt-get update`); otherwise the script says in one
# line what to install and exits with status 2.
#
#   need_debs PKG...      Debian packages (checked with dpkg)
#   need_build_tools      CMake 3.20 or later and a C++ compiler
#   need_python313        sets QUORVANE_PY313 to a CPython 3.13 with its
#                         headers: pyenv's newest 3.13, else python3.13 on
#                         the PATH (Debian 13: python3.13-dev)
#
# NEED_WHO names the calling script in messages.

NEED_WHO=${NEED_WHO:-$(basename "$0")}
need_apt_updated=

need_fail() {  # need_fail MESSAGE: the one-line complaint, exit status 2
  echo "$NEED_WHO: $1" >&2
  exit 2
}

need_debs() {
  local missing=() pkg
  command -v dpkg >/dev/null 2>&1 || return 0  # not Debian: the build will tell
  for pkg in "$@"; do
    dpkg -s "$pkg" 2>/dev/null | grep -q '^Status: install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    need_fail "missing Debian packages; install them and run again: sudo apt-get install ${missing[*]}"
  fi
  echo "$NEED_WHO: installing ${missing[*]}" >&2
  if [ -z "$need_apt_updated" ]; then
    apt-get update -qq || need_fail "apt-get update failed; install by hand: apt-get install ${missing[*]}"
    need_apt_updated=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    need_fail "apt-get could not install: ${missing[*]}"
}

need_build_tools() {
  local debs=() version
  # A pyenv shim may exist without a cmake behind it, so cmake must run.
  version=$(cmake --version 2>/dev/null | sed -n 's/^cmake version \([0-9]*\.[0-9]*\).*/\1/p')
  if [ -z "$version" ] || [ "$(printf '%s\n' 3.20 "$version" | sort -V | head -1)" != 3.20 ]; then
    debs+=(cmake)
  fi
  command -v "${CXX:-c++}" >/dev/null 2>&1 || debs+=(g++)
  command -v make >/dev/null 2>&1 || command -v ninja >/dev/null 2>&1 || debs+=(make)
  [ ${#debs[@]} -eq 0 ] || need_debs "${debs[@]}"
}

# Prints a CPython 3.13 that has its headers, or nothing.
find_python313() {
  local root dir candidate
  for root in "$(pyenv root 2>/dev/null)" "${PYENV_ROOT:-}" "$HOME/.pyenv"; do
    [ -n "$root" ] && [ -d "$root/versions" ] || continue
    for dir in $(ls -d "$root"/versions/3.13.* 2>/dev/null | sort -V -r); do
      candidate="$dir/bin/python3"
      if [ -x "$candidate" ] && python_has_headers "$candidate"; then
        echo "$candidate"
        return
      fi
    done
  done
  candidate=$(command -v python3.13 2>/dev/null) || return 0
  if python_has_headers "$candidate"; then echo "$candidate"; fi
}

python_has_headers() {
  "$1" -c 'import os, sys, sysconfig
sys.exit(sys.version_info[:2] != (3, 13) or not os.path.isfile(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' 2>/dev/null
}

need_python313() {
  QUORVANE_PY313=$(find_python313)
  if [ -z "$QUORVANE_PY313" ] && command -v apt-cache >/dev/null 2>&1 &&
     apt-cache show python3.13-dev >/dev/null 2>&1; then
    need_debs python3.13-dev python3.13-venv  # Debian 13
    QUORVANE_PY313=$(find_python313)
  fi
  [ -n "$QUORVANE_PY313" ] ||
    need_fail "no CPython 3.13 with its headers; install one (pyenv install 3.13, or on Debian 13 apt-get install python3.13-dev) and run again"
}
