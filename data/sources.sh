# Sourced by run.sh and test.sh: fetches the public catalogues that
# noctra-mkdata builds the reference files from, into a cache folder
# (${NOCTRA_SOURCES:-$HOME/.cache/noctra-sources}). Each package is unpacked
# into its own sub-folder, pruned to the files the tool reads, and marked
# complete; a package already present is skipped at once.
#
#   stellarium-data, kstars-data   Debian packages (apt-get download, dpkg -x)
#   d3-celestial, world-atlas      npm packages (npm pack, tar)
#
# The state and province boundaries come from Debian's gmt-dcw package,
# which deps.sh installs like the build's packages; noctra-mkdata reads it
# where it lies (/usr/share/gmt-dcw), so it is not fetched here.

NOCTRA_SOURCES_SCRIPT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
NOCTRA_SOURCE_DEBS=(stellarium-data kstars-data)
NOCTRA_SOURCE_NPMS=(d3-celestial@0.7.35 world-atlas@2.0.2)

# Files kept from each package (paths inside the unpacked package).
NOCTRA_KEEP_stellarium_data=(
  usr/share/stellarium/stars/default/cross-id.dat
  usr/share/stellarium/stars/default/name.fab
  usr/share/stellarium/stars/default/hip_pm.dat
  usr/share/stellarium/stars/default/gcvs_hip_part.dat
  usr/share/stellarium/stars/default/wds_hip_part.dat
  usr/share/stellarium/stars/default/stars_0_0v0_8.cat
  usr/share/stellarium/stars/default/stars_1_0v0_8.cat
  usr/share/stellarium/stars/default/stars_2_0v0_8.cat
  usr/share/stellarium/stars/default/stars_3_1v0_4.cat
  usr/share/stellarium/skycultures/western/constellationship.fab
  usr/share/stellarium/data/base_locations.bin.gz
  usr/share/doc/stellarium-data/copyright
)
NOCTRA_KEEP_kstars_data=(
  usr/share/kstars/OpenNGC.kscat
  usr/share/kstars/namedstars.dat
  usr/share/kstars/unnamedstars.dat
  usr/share/kstars/asteroids.dat
  usr/share/kstars/comets.dat
  usr/share/kstars/cbounds.dat
  usr/share/kstars/milkyway.dat
  usr/share/doc/kstars-data/copyright
)
NOCTRA_KEEP_d3_celestial=(
  package/LICENSE
  package/data/stars.14.json
  package/data/starnames.json
  package/data/dsos.20.json
)
NOCTRA_KEEP_world_atlas=(
  package/LICENSE
  package/land-50m.json
  package/countries-50m.json
)

noctra_sources_dir() {
  echo "${NOCTRA_SOURCES:-$HOME/.cache/noctra-sources}"
}

# Runs a command as root (directly, or through sudo).
noctra_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Moves the kept files of an unpacked package from $1 into the package
# folder $2; fails when one of them is missing.
noctra_keep_files() {
  local from="$1" to="$2"
  shift 2
  local f
  for f in "$@"; do
    if [ ! -f "$from/$f" ]; then
      echo "noctra_fetch_sources: $f is missing from the package" >&2
      return 1
    fi
    mkdir -p "$to/$(dirname "$f")"
    mv "$from/$f" "$to/$f"
  done
}

# Installs one package into the cache folder: $1 name, $2 kind (deb or npm),
# $3 the name of the array of kept files.
noctra_fetch_one() {
  local name="$1" kind="$2" keep="$3[@]"
  local dir
  dir="$(noctra_sources_dir)"
  local target="$dir/${name%@*}"
  # The marker names the package and the kept files, so a changed list
  # fetches the package again.
  local marker
  marker="$(printf '%s\n' "$name" "${!keep}")"
  [ -f "$target/.complete" ] && [ "$(cat "$target/.complete")" = "$marker" ] && return 0
  echo "Fetching $name into $dir"
  if [ "$kind" = npm ] && ! command -v npm >/dev/null 2>&1; then
    declare -F noctra_install_packages >/dev/null || source "$NOCTRA_SOURCES_SCRIPT_DIR/../deps.sh"
    noctra_install_packages nodejs npm || return 1
  fi
  local tmp
  tmp="$(mktemp -d "$dir/.fetch.XXXXXX")" || return 1
  (
    set -e
    cd "$tmp"
    if [ "$kind" = deb ]; then
      # -o APT::Sandbox::User=root: the download folder belongs to us.
      if ! apt-get download -q -o APT::Sandbox::User=root "$name" >/dev/null 2>&1; then
        noctra_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        apt-get download -q -o APT::Sandbox::User=root "$name" >/dev/null
      fi
      dpkg -x ./*.deb unpacked
    else
      npm pack --silent "$name" >/dev/null
      mkdir unpacked
      tar xzf ./*.tgz -C unpacked
    fi
    mkdir pkg
    noctra_keep_files unpacked pkg "${!keep}"
    printf '%s\n' "$marker" > pkg/.complete
  ) || { rm -rf "$tmp"; echo "noctra_fetch_sources: could not fetch $name" >&2; return 1; }
  rm -rf "$target"
  mv "$tmp/pkg" "$target"
  rm -rf "$tmp"
}

noctra_fetch_sources() {
  local dir
  dir="$(noctra_sources_dir)"
  mkdir -p "$dir" || return 1
  local p
  for p in "${NOCTRA_SOURCE_DEBS[@]}"; do
    noctra_fetch_one "$p" deb "NOCTRA_KEEP_${p//-/_}" || return 1
  done
  for p in "${NOCTRA_SOURCE_NPMS[@]}"; do
    local n="${p%@*}"
    noctra_fetch_one "$p" npm "NOCTRA_KEEP_${n//-/_}" || return 1
  done
}
