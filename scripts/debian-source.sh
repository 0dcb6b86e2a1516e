# Sourced by the set-up and dependency build scripts: installs missing Debian packages,
# finds the version of a package that apt would install and fetches its source package,
# checked against the archive's checksums.

# Installs those of the named packages that are not installed yet (the package lists
# brought up to date first: a fresh machine's may be stale); does nothing when all are.
install_missing_packages() {
  local missing=() p sudo_cmd=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  [[ $(id -u) -eq 0 ]] || sudo_cmd=sudo
  $sudo_cmd apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${missing[@]}" >&2
}

# The candidate version of a binary package, or nothing when apt does not know it.
debian_candidate_version() {
  apt-cache policy "$1" | awk '/Candidate:/ && $2 != "(none)" {print $2}'
}

# Downloads the source package SOURCE=VERSION into FOLDER (.dsc, .orig.tar.*, .debian.tar.*)
# and unpacks it there with Debian's patches applied.
fetch_debian_source() {
  local source=$1 version=$2 folder=$3
  local sudo_cmd=""
  [[ $(id -u) -eq 0 ]] || sudo_cmd=sudo
  # apt-get source needs deb-src entries for the same archive the binaries come from.
  if ! apt-get source --print-uris "$source=$version" >/dev/null 2>&1; then
    local list=/etc/apt/sources.list.d/temposcout-deb-src.sources
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
      sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo_cmd tee "$list" >/dev/null
    else
      grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $sudo_cmd tee "${list%.sources}.list" >/dev/null
    fi
    $sudo_cmd apt-get update -q >&2
  fi
  (
    cd "$folder"
    # File by file, each checked against its checksum: the mirror does not always serve
    # the upstream signature (.asc) that apt-get source insists on.
    apt-get source --print-uris -q "$source=$version" | grep "^'" |
      while read -r uri name _ sum; do
        [[ $name == *.asc ]] && continue
        curl -fsSL -o "$name" "${uri//\'/}"
        echo "${sum#SHA256:}  $name" | sha256sum -c --quiet -
      done
    dpkg-source --no-check -x ./*.dsc >&2
  )
}

# Copies the source package files from FOLDER into DEST, as they are shipped.
keep_debian_source() {
  mkdir -p "$2"
  cp "$1"/*.dsc "$1"/*.orig.tar.* "$1"/*.debian.tar.* "$2/"
}
