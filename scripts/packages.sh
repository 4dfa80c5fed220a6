# Sourced by ./run and ./test: installs the Debian packages the build needs when they are
# missing (as root, non-interactively), or names them for the user to install.

ORV_PACKAGES=(g++ cmake ninja-build qt6-base-dev libgtest-dev libbenchmark-dev
              fonts-ipafont-gothic pkg-config libcfitsio-dev wcslib-dev qt6-image-formats-plugins)
# The Python module: its build, and numpy, which importing it needs.
ORV_PACKAGES+=(pybind11-dev python3-dev python3-numpy)

# ./test only: the catalogue tests write a FITS picture and read the catalogues with astropy.
ORV_TEST_PACKAGES=(python3-astropy python3-numpy)
# ./test only: the Python module's tests.
ORV_TEST_PACKAGES+=(python3-pytest)

# scripts/fuzz only: clang for the libFuzzer targets (it adds the fuzzer runtime of its version).
ORV_FUZZ_PACKAGES=(clang)

# Tests only: a private one-node Slurm for the cluster test (scripts/slurm-local).
ORV_CLUSTER_PACKAGES=(slurm-wlm munge)

orv_missing_packages() {
    # One dpkg-query call for all of them (each call costs a reading of dpkg's whole database).
    local installed missing=()
    installed=" $(dpkg-query -W -f='${Status} ${Package}\n' "$@" 2>/dev/null |
        sed -n 's/^install ok installed //p' | tr '\n' ' ' || true)"
    for p in "$@"; do
        case $installed in *" $p "*) ;; *) missing+=("$p") ;; esac
    done
    echo "${missing[@]}"
}

orv_ensure_packages() {
    local missing
    missing=$(orv_missing_packages "$@")
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Orvandel needs these Debian packages, which are not installed:" >&2
        echo "  $missing" >&2
        echo "Install them with:" >&2
        echo "  sudo apt-get install $missing" >&2
        return 1
    fi
    echo "Installing: $missing" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >&2 || return 1
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing >&2 || return 1
}
