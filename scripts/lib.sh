# Shared by scripts/setup, scripts/run and scripts/test.
KIVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Every Debian package the build, the app and the tests need, one per line in scripts/packages/*.txt.
kivo_packages() {
  cat "$KIVO_ROOT"/scripts/packages/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u
}

# Folders with test-only node packages (package-lock.json beside package.json).
kivo_npm_dirs() {
  find "$KIVO_ROOT/tests" -name package-lock.json -not -path '*/node_modules/*' -printf '%h\n' 2>/dev/null | sort
}

# True when something setup installs is missing.
kivo_setup_needed() {
  local missing
  missing=$(kivo_packages | xargs dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' 2>&1 | grep -v '^ii ' || true)
  [ -n "$missing" ] && return 0
  local d
  [ -n "$(kivo_npm_dirs)" ] && ! command -v npm >/dev/null && return 0
  for d in $(kivo_npm_dirs); do
    [ -f "$d/node_modules/.package-lock.json" ] || return 0
    [ "$d/package-lock.json" -nt "$d/node_modules/.package-lock.json" ] && return 0
  done
  return 1
}

# kivo_configure_and_build [TARGET...]: configures build/ once and builds the targets (all by default).
kivo_configure_and_build() {
  [ -f "$KIVO_ROOT/build/build.ninja" ] || cmake -S "$KIVO_ROOT" -B "$KIVO_ROOT/build" -G Ninja >/dev/null
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build "$KIVO_ROOT/build" -j "$(nproc)" "${targets[@]}"
}
