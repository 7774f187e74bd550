#!/usr/bin/env bash
# scripts/build-windows-qt prints its prefix and only its prefix on standard output, whether it builds
# or finds the build in its cache, and fetches the sources from the system's own apt mirror. Run
# against stand-ins for apt-get, Qt's configure script and cmake that talk on standard output the way
# the real ones do, so no Qt is built.
#   test_build_windows_qt.sh <path of build-windows-qt>
set -uo pipefail
script=$(realpath "$1")
tmp=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$tmp"' EXIT
failures=0 passes=0
check() { # check <what> <command...>
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

stubs=$tmp/bin
mkdir -p "$stubs"
stub() { printf '#!/usr/bin/env bash\n%s\n' "$2" >"$stubs/$1" && chmod +x "$stubs/$1"; }
stub dpkg-query 'echo "6.4.2+dfsg-10"'
stub x86_64-w64-mingw32-g++-posix 'echo "x86_64-w64-mingw32-g++-posix (GCC) 12-posix"'
stub ninja 'exit 0'
stub dpkg-source 'exit 0'
# apt-get keeps the private sources it was given and unpacks a "source" whose configure talks.
stub apt-get 'for a in "$@"; do case "$a" in Dir::Etc::SourceParts=*) cp "${a#*=}"/*.sources "$TEST_DIR/private.sources";; esac; done
echo "Get:1 http://mirror.invalid/debian bookworm InRelease [151 kB]"
case " $* " in *" source "*)
    mkdir -p qt6-base-6.4.2+dfsg
    printf "%s\n" "#!/usr/bin/env bash" "echo \"\$2\" >prefix.txt" "for i in \$(seq 200); do echo \"-- Performing Test HAVE_\$i - Success\"; done" >qt6-base-6.4.2+dfsg/configure
    chmod +x qt6-base-6.4.2+dfsg/configure
    echo "dpkg-source: info: extracting qt6-base in qt6-base-6.4.2+dfsg";;
esac'
stub cmake 'case "$1" in
--build) for i in $(seq 500); do echo "[$i/500] Building CXX object qtbase/src/corelib/x$i.obj"; done
         [ -z "${FAIL_BUILD:-}" ] || { echo "error: the compiler failed" >&2; exit 1; };;
--install) mkdir -p "$(cat prefix.txt)"; echo "-- Installing: $(cat prefix.txt)/bin/Qt6Core.dll";;
esac'

# The system's apt sources: a mirror in the one-line format, another release, a disabled entry.
mkdir -p "$tmp/apt/sources.list.d"
cat >"$tmp/apt/sources.list" <<'EOF'
deb [arch=amd64 signed-by=/usr/share/keyrings/mirror.gpg] http://mirror.invalid/debian bookworm main
deb http://mirror.invalid/debian trixie main
EOF
cat >"$tmp/apt/sources.list.d/security.sources" <<'EOF'
Types: deb
URIs: http://mirror.invalid/debian-security
Suites: bookworm-security
Components: main

Types: deb
URIs: http://off.invalid/debian
Suites: bookworm
Enabled: no
EOF
cat >"$tmp/apt/apt.conf" <<EOF
Dir::Etc::SourceList "$tmp/apt/sources.list";
Dir::Etc::SourceParts "$tmp/apt/sources.list.d";
EOF

run() { # run <name>: stdout to <name>.out, stderr to <name>.err, the exit code to <name>.rc
    PATH="$stubs:$PATH" TEST_DIR=$tmp XDG_CACHE_HOME=$tmp/cache APT_CONFIG=$tmp/apt/apt.conf \
        VENTIRO_QT_JOBS=2 bash "$script" >"$tmp/$1.out" 2>"$tmp/$1.err"
    echo $? >"$tmp/$1.rc"
}
prefix=$tmp/cache/ventiro/qt-windows-6.4.2

FAIL_BUILD=1 run failed
check "a failed build exits non-zero" [ "$(cat "$tmp/failed.rc")" != 0 ]
check "a failed build prints no prefix" [ ! -s "$tmp/failed.out" ]
check "a failed build names its log" grep -q "log is $tmp/cache/ventiro/qt-windows-6.4.2.log" "$tmp/failed.err"
check "the log holds the tools' output" grep -q "error: the compiler failed" "$tmp/cache/ventiro/qt-windows-6.4.2.log"

run fresh
check "a build from an empty cache succeeds" [ "$(cat "$tmp/fresh.rc")" = 0 ]
check "a build prints exactly the prefix" [ "$(cat "$tmp/fresh.out")" = "$prefix" ]
check "the build is stamped complete" [ -f "$prefix/.ventiro-complete" ]
check "the sources come from the system's mirror" grep -q "^URIs: http://mirror.invalid/debian$" "$tmp/private.sources"
check "with the mirror's key" grep -qx "Signed-By: /usr/share/keyrings/mirror.gpg" "$tmp/private.sources"
check "and the system's security entry" grep -q "^URIs: http://mirror.invalid/debian-security$" "$tmp/private.sources"
check "no other release, no disabled entry, no host of our own" \
    bash -c "! grep -Eq 'trixie|off.invalid|deb.debian.org' '$tmp/private.sources'"

run cached
check "a cached build prints exactly the prefix" [ "$(cat "$tmp/cached.out")" = "$prefix" ]

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
