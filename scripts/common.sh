#!/usr/bin/env bash
# Shared set-up for the project's scripts: installs the Debian packages that are missing and builds the project.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What configuring the project and building the programs need (scripts/play installs only these).
BUILD_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  freeglut3-dev libgl-dev
  nlohmann-json3-dev libcli11-dev
)

# What scripts/package needs to make the .deb: dpkg-shlibdeps computes its dependencies, file finds the programs.
PACKAGE_PACKAGES=(dpkg-dev file)
# What the browser site needs to build (scripts/web installs only these); its tests add chromium.
WEB_PACKAGES=(emscripten binaryen nodejs npm python3 gzip)

# Every Debian package the build, the tests and the window need.
PACKAGES=(
  "${BUILD_PACKAGES[@]}"
  libosmesa6-dev
  xvfb xdotool x11-apps x11-utils netpbm
  clang libclang-rt-14-dev
  vim nodejs npm
  parallel slurm-wlm munge
  # The regression corpus: its gzip fingerprint files (fusewick-corpus, the corpus test).
  zlib1g-dev
  # The browser site and the pages read by a real browser (the site, the tournament's report, the ladder's pages).
  "${WEB_PACKAGES[@]}" chromium
  # The ladder: its databases, HTTP, tokens and replays' compression; its tests' client and JSON reader.
  libsqlite3-dev sqlite3 libpqxx-dev postgresql libcpp-httplib-dev libsodium-dev
  # The ladder worker's compression of its replays.
  libdeflate-dev
  curl jq
)

# The package test: the .deb made, checked by lintian, its man pages read by man, the ladder's unit by systemd.
PACKAGES+=("${PACKAGE_PACKAGES[@]}" lintian man-db systemd)

# The ladder's tests start PostgreSQL clusters of their own: installing the server must not create and start the
# package's cluster on port 5432 (postgresql-common reads this file when the package is installed).
if [ "$(id -u)" -eq 0 ] && ! dpkg -s postgresql-15 >/dev/null 2>&1; then
  mkdir -p /etc/postgresql-common/createcluster.d
  echo "create_main_cluster = false" >/etc/postgresql-common/createcluster.d/fusewick-no-main-cluster.conf
fi

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Whether a package is installed. An npm command that came with the nodejs package itself counts for npm: some
# nodejs builds bring their own npm and refuse Debian's.
is_installed() {
  dpkg -s "$1" >/dev/null 2>&1 && return 0
  [ "$1" = npm ] && command -v npm >/dev/null 2>&1
}

# Installs only what is not installed yet.
ensure_packages() {
  local missing=()
  for p in "$@"; do
    is_installed "$p" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
  fi
}

# configure_and_build <build dir> [extra cmake args...]: configures once, then builds every target.
configure_and_build() {
  configure "$@"
  cmake --build "$ROOT/$1" --parallel "$(nproc)"
}

# build_targets <build dir> <target>...: configures once, then builds only the named targets.
build_targets() {
  local dir="$1"; shift
  configure "$dir"
  cmake --build "$ROOT/$dir" --parallel "$(nproc)" --target "$@"
}

# Configures on every call: cheap once a cache exists, and it finds packages installed since the last time.
configure() {
  local dir="$1"; shift
  local gen=()
  command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
  if [ ! -f "$ROOT/$dir/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$ROOT/$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  else
    cmake -S "$ROOT" -B "$ROOT/$dir" "$@" >/dev/null
  fi
}
