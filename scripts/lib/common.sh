# Shared by scripts/test and scripts/demo: set-up, builds and the Wine prefix.
# Source it; it defines functions and sets ROOT.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

log() { printf '==> %s\n' "$*" >&2; }

# Debian packages the project needs: cross compiler, Wine (32-bit), installer
# authoring, a headless X server, GoogleTest, clang's libFuzzer and the
# Authenticode signer.
KCI_PACKAGES=(cmake make g++ g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 wixl msitools
              xvfb xauth libgtest-dev googletest clang libclang-rt-14-dev python3 osslsigncode openssl)

ensure_packages() {
    local missing=()
    for p in "${KCI_PACKAGES[@]}"; do
        # "install ok installed" only: a removed package keeps its record in dpkg.
        [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_win32() {
    log "building the library (mingw-w64, i686)"
    cmake --no-warn-unused-cli -S "$ROOT" -B "$ROOT/build/win32" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$ROOT/build/win32" -j"$(nproc)" -- --no-print-directory >/dev/null
}

# A 16-bit field of a PE image's optional header, which follows the 4-byte
# signature and the 20-byte file header at e_lfanew (offset 0x3c).
pe_optional_u16() {  # pe_optional_u16 FILE OFFSET
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ "$(od -An -c -j"$pe" -N4 "$1" 2>/dev/null | tr -d ' ')" = 'PE\0\0' ] || { echo "not a PE image: $1" >&2; return 1; }
    od -An -tu2 -j$((pe + 24 + $2)) -N2 "$1" | tr -d ' '
}

pe_dll_characteristics() { pe_optional_u16 "$1" 70; }  # pe_dll_characteristics FILE

# The Windows the DLL says it needs, as major.minor fields of its header
# (offsets into the optional header), and the imports newer than Windows 2000
# (5.0) with the version that first has each. An import of the DLL newer than
# its header says fails the shipping check.
KCI_WINDOWS=6.0
KCI_HEADER_VERSIONS=(
    "operating system:40"
    "subsystem:48"
)
KCI_NEWER_IMPORTS=(
    "AddVectoredExceptionHandler:5.1" "RemoveVectoredExceptionHandler:5.1" "GetNativeSystemInfo:5.1"
    "IsWow64Process:5.1" "GetSystemWow64DirectoryW:5.1" "GetModuleHandleExW:5.1" "GetSystemTimes:5.1"
    "Wow64DisableWow64FsRedirection:5.2" "Wow64RevertWow64FsRedirection:5.2"
    "FlsAlloc:6.0" "FlsFree:6.0" "FlsGetValue:6.0" "FlsSetValue:6.0" "GetTickCount64:6.0"
    "GetFileInformationByHandleEx:6.0" "SetFileInformationByHandle:6.0" "GetFinalPathNameByHandleW:6.0"
    "CreateSymbolicLinkW:6.0" "InitOnceExecuteOnce:6.0" "InitializeSRWLock:6.0" "AcquireSRWLockExclusive:6.0"
    "ReleaseSRWLockExclusive:6.0" "QueryFullProcessImageNameW:6.0" "GetFileInformationByName:10.0"
)

# Compares two versions major.minor: true when $1 is later than $2.
version_after() { [ "${1%.*}" -gt "${2%.*}" ] || { [ "${1%.*}" -eq "${2%.*}" ] && [ "${1#*.}" -gt "${2#*.}" ]; }; }

# Prints the header's versions and the newer imports found; fails when a
# header field is not KCI_WINDOWS or an import needs a later Windows.
check_windows_version() {  # check_windows_version DLL
    local ok=0 row offset version name needs found=()
    for row in "${KCI_HEADER_VERSIONS[@]}"; do
        offset=${row#*:}
        version="$(pe_optional_u16 "$1" "$offset").$(pe_optional_u16 "$1" $((offset + 2)))" || return 1
        echo "${row%:*} version $version"
        [ "$version" = "$KCI_WINDOWS" ] || { echo "the header's ${row%:*} version is not $KCI_WINDOWS"; ok=1; }
    done
    while read -r name; do
        for row in "${KCI_NEWER_IMPORTS[@]}"; do
            [ "${row%:*}" = "$name" ] || continue
            needs=${row#*:}
            found+=("$name ($needs)")
            if version_after "$needs" "$KCI_WINDOWS"; then echo "$name needs Windows $needs, the header says $KCI_WINDOWS"; ok=1; fi
        done
    done < <(i686-w64-mingw32-objdump -p "$1" | awk '/^The Import Tables/ { on = 1 } /^The Export Tables/ { on = 0 }
                                                     on && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print $3 }')
    echo "imports newer than Windows 5.0: ${found[*]:-none}"
    return $ok
}

# How many times the code of a stripped DLL checks the stack protector's
# guard: the link map gives the guard's address, and every function the
# compiler protected compares its canary with it on the way out ("sub GUARD,"
# on i686; the guard's own set-up only stores and tests it).
stack_guard_checks() {  # stack_guard_checks DLL LINK_MAP
    local guard
    guard=$(awk '$2 == "__stack_chk_guard" { print $1; exit }' "$2" 2>/dev/null)
    [ -n "$guard" ] || { echo 0; return; }
    i686-w64-mingw32-objdump -d --no-show-raw-insn "$1" | grep -cE "[[:space:]]sub[[:space:]]+$guard,"
}

# The DLL that ships must stay small, carry the hardening marks a scanner of
# shipped binaries looks for (ASLR, NX, no SEH handlers) and stack protection
# in its code, name in its header the Windows its imports need, and two clean builds of one commit, in two different folders,
# must give the same bytes.
KCI_DLL_LIMIT=$((300 * 1024))
check_shipping_dll() {
    local dll="$ROOT/build/win32/KorviCustomImmediate.dll" size ok=0 tree flags mark bit guards
    size=$(stat -c %s "$dll")
    echo "KorviCustomImmediate.dll: $size bytes ($((size / 1024)) KB; limit $((KCI_DLL_LIMIT / 1024)) KB)"
    if [ "$size" -gt "$KCI_DLL_LIMIT" ]; then echo "the DLL exceeds its size limit"; ok=1; fi
    flags=$(pe_dll_characteristics "$dll") || flags=0
    for mark in DYNAMIC_BASE:64 NX_COMPAT:256 NO_SEH:1024; do
        bit=${mark#*:}
        if [ $((flags & bit)) -eq 0 ]; then echo "the DLL lacks ${mark%:*}"; ok=1; fi
    done
    printf 'DllCharacteristics 0x%04x\n' "$flags"
    check_windows_version "$dll" || ok=1
    guards=$(stack_guard_checks "$dll" "$ROOT/build/win32/KorviCustomImmediate.map")
    echo "stack protection: $guards guard checks in the code"
    if [ "$guards" -eq 0 ]; then echo "the DLL lacks stack protection"; ok=1; fi
    for tree in a b; do
        rm -rf "$ROOT/build/repro/$tree"
        cmake --no-warn-unused-cli -S "$ROOT" -B "$ROOT/build/repro/$tree" \
            -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
        cmake --build "$ROOT/build/repro/$tree" -j"$(nproc)" --target KorviCustomImmediate -- --no-print-directory >/dev/null ||
            { echo "clean build $tree failed"; return 1; }
    done
    if cmp "$ROOT/build/repro/a/KorviCustomImmediate.dll" "$ROOT/build/repro/b/KorviCustomImmediate.dll"; then
        echo "two clean builds give identical DLLs"
    else
        echo "two clean builds give different DLLs"; ok=1
    fi
    rm -rf "$ROOT/build/repro"
    return $ok
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
        mkdir -p "$(dirname "$WINEPREFIX")"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            log "wineboot could not create $WINEPREFIX"
            return 1
        fi
        # A crashing program must end at once rather than wait on a crash dialog.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.kci-ready"
    fi
    # The profile folders start as links into the Unix home (Desktop,
    # Documents, and deeper ones such as AppData\Roaming\...\Templates): make
    # every link under the profiles real folders so that tests never write into
    # the user's home. Done on every call, so an older prefix is mended too.
    local d
    while IFS= read -r -d '' d; do
        rm "$d" && mkdir "$d"
    done < <(find "$WINEPREFIX/drive_c/users" -type l -print0)
}

stop_wine() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

# The demo package: wixl needs its sources beside the .wxs, by relative path.
# Stand-ins for the component programs are copies of the test stand-in.
build_package() {
    local stage="$ROOT/build/package"
    log "building the demo package (wixl)"
    rm -rf "$stage" && mkdir -p "$stage"
    cp "$ROOT/package/"*.wxs "$ROOT/package/"*.wxi "$ROOT/package/readme.txt" "$stage/"
    cp "$ROOT/build/win32/KorviCustomImmediate.dll" "$ROOT/build/win32/kci_runtime_probe.dll" "$stage/"
    local name
    for name in WQInstaller.exe InstallQdnAndAx.exe RtmxDriverInstaller.exe Bits_v15_Client_Setup.exe httpcfg.exe; do
        cp "$ROOT/build/win32/kci_standin.exe" "$stage/$name"
    done
    # The product's prepared shortcut: its content does not matter to the copies.
    printf 'stand-in shortcut\r\n' > "$stage/Tenvor Omni Meridia.lnk"
    (cd "$stage" && wixl -a x86 -o KorviDemo.msi KorviDemo.wxs) || return
    # wixl writes a rollback row as type 2049, which runs at once: give each its real type,
    # 3329 (1 + rollback 256 + in-script 1024 + no impersonation 2048), 1281 impersonated.
    local row impersonated type
    for row in $(sed -n 's/.*<CustomAction Id="\([A-Za-z0-9_]*\)" .*Execute="rollback".*/\1/p' "$stage/KorviCustomImmediate.wxi"); do
        impersonated=$(grep -c "<CustomAction Id=\"$row\" .*Impersonate=\"yes\"" "$stage/KorviCustomImmediate.wxi" || true)
        type=$([ "$impersonated" -gt 0 ] && echo 1281 || echo 3329)
        msibuild "$stage/KorviDemo.msi" -q "UPDATE CustomAction SET Type=$type WHERE Action='$row'" || return
    done
    # The progress text of every action, from the ProgressText rows the include's comment shows.
    local sql=(-q "CREATE TABLE \`ActionText\` (\`Action\` CHAR(72) NOT NULL, \`Description\` CHAR(0) LOCALIZABLE, \`Template\` CHAR(0) LOCALIZABLE PRIMARY KEY \`Action\`)")
    while IFS='|' read -r row type text; do
        sql+=(-q "INSERT INTO \`ActionText\` (\`Action\`, \`Description\`, \`Template\`) VALUES ('$row', '$text', '$type')")
    done < <(sed -n 's/.*<ProgressText Action="\([A-Za-z0-9_]*\)"\( Template="\([^"]*\)"\)\{0,1\}>\([^<]*\)<.*/\1|\3|\4/p' "$stage/KorviCustomImmediate.wxi")
    msibuild "$stage/KorviDemo.msi" "${sql[@]}" || return
    # Commit rows too come out as 2049 (an impersonated one as 1): 3585 as the system (1 + commit
    # 512 + in-script 1024 + no impersonation 2048), 1537 impersonated.
    for row in $(sed -n 's/.*<CustomAction Id="\([A-Za-z0-9_]*\)" .*Execute="commit".*/\1/p' "$stage/KorviCustomImmediate.wxi"); do
        impersonated=$(grep -c "<CustomAction Id=\"$row\" .*Impersonate=\"yes\"" "$stage/KorviCustomImmediate.wxi" || true)
        type=$([ "$impersonated" -gt 0 ] && echo 1537 || echo 3585)
        msibuild "$stage/KorviDemo.msi" -q "UPDATE CustomAction SET Type=$type WHERE Action='$row'" || return
    done
}

# Runs msiexec in the current prefix with a verbose log; prints the exit code.
run_msiexec() {  # run_msiexec /i|/x MSI LOG [PROP=value ...]
    local mode=$1 msi=$2 logfile=$3
    shift 3
    local rc=0
    wine msiexec "$mode" "$(winepath -w "$msi")" /qn /l*v "$(winepath -w "$logfile")" "$@" >/dev/null 2>&1 || rc=$?
    echo "$rc"
}
