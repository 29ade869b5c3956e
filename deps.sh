# Sourced by run.sh and test.sh: installs the Debian packages the build needs
# when any is missing (as root, or through sudo).
NOCTRA_PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-image-formats-plugins
  libsqlite3-dev libjpeg62-turbo-dev
  # The state and province boundaries: Debian's Digital Chart of the World
  # for GMT (a netCDF file) and the library that reads it.
  libnetcdf-dev gmt-dcw
  # The relief map's heights and depths: the grey relief raster (JPEG tiles,
  # public domain) of Marble's map data; it pulls in no other package.
  marble-qt-data
  libgtest-dev libgmock-dev libbenchmark-dev
  python3-astropy fitsverify
  fonts-liberation fonts-dejavu-core tzdata locales
  poppler-utils
  # The whole suite runs once more under libfaketime (.ci/run).
  faketime
  libindi-dev indi-bin
  # The plate solver's local solve: solve-field and the Tycho-2 index files
  # 4110-4119 (36 MB; quads of 1 to 33 degrees, for fields of about 1.5 to
  # 30 degrees: the wide simulated camera of the end-to-end test and typical
  # short-focus guide and finder cameras).
  astrometry.net astrometry-data-tycho2-10-19
  # The fuzz targets (tests/fuzz): clang with libFuzzer.
  clang-14 libclang-rt-14-dev python3
)

noctra_install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The number tests check that a comma-decimal user locale changes nothing:
# they need de_DE.UTF-8 generated.
noctra_install_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8' && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Generating locale de_DE.UTF-8"
  $sudo localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
}

noctra_install_deps() {
  noctra_install_packages "${NOCTRA_PACKAGES[@]}"
  noctra_install_locale
}
