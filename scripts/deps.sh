# Installs the Debian packages Corvane needs that are missing on this machine
# (apt-get update only when something is missing). Sourced by run.sh and test.sh.
corvane_packages=(
    build-essential cmake ninja-build pkg-config ccache
    libwxgtk3.2-dev libwxsqlite3-3.2-dev libsqlite3-dev libpugixml-dev
    libgtest-dev libbenchmark-dev
    xvfb xauth python3 python3-aiosmtpd
    libssl-dev openssl libcurl4-openssl-dev nlohmann-json3-dev prometheus-cpp-dev
    prometheus
)
# Only for `./test.sh --fuzz`: clang with libFuzzer and the sanitizer runtimes.
corvane_fuzz_packages=(clang libclang-rt-14-dev)

ensure_packages() {
    local missing=()
    local p
    for p in "${corvane_packages[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}"
    fi
}

# configure_and_build <build-dir> [cmake args...]
configure_and_build() {
    configure_only "$@"
    cmake --build "$1" -j "$(nproc)"
}

# configure_only <build-dir> [cmake args...]: then build chosen targets with
# cmake --build <build-dir> --target ...
configure_only() {
    local dir=$1
    shift
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
}
