# Sourced by the scripts that build libraries from Debian's own source packages (apt-get
# source: Debian's packaging with its patches applied) for another platform.

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# apt-get source needs the source indexes of the same suites as the binary ones.
enable_debian_sources() {
  if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$'; then
    echo "Enabling Debian's source indexes"
    $sudo tee /etc/apt/sources.list.d/lumiveil-deb-src.sources >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    $sudo apt-get update -qq
  fi
}

# Makes the folder of the sources (and the prefix) anew, and goes into it.
fresh_source_folder() {  # ROOT PREFIX
  rm -rf "$1/src" "$2"
  mkdir -p "$1/src" "$2/include" "$2/lib"
  cd "$1/src"
}

# Unpacks one source package into the current folder, trying its versions from the newest
# down (an index may name a version whose files the mirror no longer has).
fetch_debian_source() {
  local package=$1 version
  for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV); do
    if apt-get source -qq "$package=$version" >/dev/null 2>&1; then return 0; fi
  done
  echo "Cannot fetch the Debian source package $package" >&2
  return 1
}
