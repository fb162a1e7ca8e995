# Shared by scripts/test and scripts/demo: set-up, builds and the Wine prefix.
# Source it; it defines functions and sets ROOT.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

log() { printf '==> %s\n' "$*" >&2; }

# Debian packages the project needs: cross compiler, Wine (32-bit), installer
# authoring, a headless X server, GoogleTest and clang's libFuzzer.
KCI_PACKAGES=(cmake make g++ g++-mingw-w64-i686-posix wine wine32:i386 wine64 wixl msitools
              xvfb xauth libgtest-dev googletest clang libclang-rt-14-dev python3)

ensure_packages() {
    local missing=()
    for p in "${KCI_PACKAGES[@]}"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_win32() {
    log "building the library (mingw-w64, i686)"
    cmake --no-warn-unused-cli -S "$ROOT" -B "$ROOT/build/win32" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$ROOT/build/win32" -j"$(nproc)" -- --no-print-directory >/dev/null
}

build_host() {
    log "building the platform-free core and its unit tests (host)"
    cmake --no-warn-unused-cli -S "$ROOT" -B "$ROOT/build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$ROOT/build/host" -j"$(nproc)" -- --no-print-directory >/dev/null
}

build_fuzz() {
    log "building the fuzz targets (clang, libFuzzer)"
    CXX=clang++ cmake --no-warn-unused-cli -S "$ROOT" -B "$ROOT/build/fuzz" -DKCI_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$ROOT/build/fuzz" -j"$(nproc)" -- --no-print-directory >/dev/null
}

# A private, headless Wine prefix per build tree.
wine_env() {
    export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
}

prepare_prefix() {
    wine_env "$1"
    if [ ! -f "$WINEPREFIX/.kci-ready" ]; then
        log "creating Wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
        # The profile folders start as links into the Unix home: make them
        # real folders so that tests never write into the user's home.
        local d
        for d in "$WINEPREFIX"/drive_c/users/*/*; do
            if [ -L "$d" ]; then rm "$d" && mkdir "$d"; fi
        done
        touch "$WINEPREFIX/.kci-ready"
    fi
}

stop_wine() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}
