#!/usr/bin/env bash
# Builds the Debian package from a configured build folder, installs it into a
# scratch root and runs the installed copy there as a new user would: every
# executable answers --version, a protocol compiles, the program starts
# headless and is closed by SIGTERM, and everything it wrote lies in the
# user's own folders; then removes it again. Fails when a shipped file is
# missing from the package.
#   scripts/package-test.sh BUILD
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(cd "${1:?usage: scripts/package-test.sh BUILD}" && pwd)
SRC=$PWD

fail() { echo "package test: $*" >&2; exit 1; }

rm -rf "$BUILD/package"
(cd "$BUILD" && cpack -G DEB -B "$BUILD/package" >/dev/null)
DEB=$(ls "$BUILD"/package/tessel_*.deb)
echo "package: $(basename "$DEB") ($(du -k "$DEB" | cut -f1) kB)"

SCRATCH=$(mktemp -d)
PID=
cleanup() {
  [ -n "$PID" ] && kill "$PID" 2>/dev/null || true
  chmod -R u+w "$SCRATCH" 2>/dev/null || true
  rm -rf "$SCRATCH"
}
trap cleanup EXIT
# apt can resolve every dependency (a simulation: nothing is installed).
if command -v apt-get >/dev/null; then
  apt-get install -s -qq "$DEB" >"$SCRATCH/apt.out" 2>&1 || fail "apt cannot install it: $(tail -5 "$SCRATCH/apt.out")"
fi

# Installed with dpkg into a scratch root of its own (the libraries it depends
# on are the machine's, so their check is left to apt above).
TREE=$SCRATCH/root
mkdir -p "$TREE"/var/lib/dpkg/{info,updates,triggers}
touch "$TREE"/var/lib/dpkg/{status,available}
DPKG=(dpkg --root="$TREE" --force-not-root --log=/dev/null)
"${DPKG[@]}" --force-depends -i "$DEB" >"$SCRATCH/dpkg.out" 2>&1 || fail "dpkg -i failed: $(cat "$SCRATCH/dpkg.out")"
USR=$TREE/usr

# The control fields apt needs.
dpkg-deb -f "$DEB" Package Version Architecture Depends | grep -q '^Depends: .*libqt6widgets6' ||
  fail "Depends lacks the Qt libraries: $(dpkg-deb -f "$DEB" Depends)"

# Every resource ships: the whole resources folder (its desktop and icon
# folders go where the desktop looks for them), the guide and the man pages.
while IFS= read -r f; do
  [ -f "$USR/share/tessel/$f" ] || fail "missing from the package: share/tessel/$f"
done < <(cd "$SRC/resources" && find . -type f ! -path './desktop/*' ! -path './icons/*' | sed 's|^\./||')
for f in bin/Tessel bin/tessel bin/tessel-cli bin/tessel-sim share/applications/tessel.desktop \
         share/mime/packages/tessel.xml share/icons/hicolor/scalable/apps/tessel.svg \
         share/icons/hicolor/48x48/apps/tessel.png share/doc/tessel/user-guide.md \
         share/man/man1/tessel-cli.1.gz share/man/man1/tessel-sim.1.gz share/man/man1/tessel.1.gz; do
  [ -e "$USR/$f" ] || fail "missing from the package: $f"
done
ls "$USR"/lib/*tessel/libCompiler.so* "$USR"/lib/*/tessel/libCompiler.so* >/dev/null 2>&1 ||
  [ -n "$(find "$USR/lib" -name 'libCompiler.so*')" ] || fail "missing from the package: libCompiler.so"
zcat "$USR/share/man/man1/tessel-cli.1.gz" | grep -q '^\.SH EXIT STATUS' || fail "tessel-cli(1) lacks the exit codes"

# A new user with nothing configured, on a program tree nobody may write.
export HOME=$SCRATCH/home
mkdir -p "$HOME"
unset TESSEL_CONFIG_DIR XDG_CONFIG_HOME XDG_STATE_HOME XDG_CACHE_HOME
export QT_QPA_PLATFORM=offscreen
chmod -R a-w "$TREE"
touch "$SCRATCH/stamp"
sleep 1

for exe in Tessel tessel-cli tessel-sim; do
  out=$("$USR/bin/$exe" --version) || fail "$exe --version failed"
  [ "${out%%$'\n'*}" = "$exe (Tessel) $(dpkg-deb -f "$DEB" Version)" ] || fail "$exe --version said: $out"
done

CONF=$HOME/.config/KRT/Tessel
STATE=$HOME/.local/state/KRT/Tessel
"$USR/bin/tessel-cli" compile "$USR/share/tessel/protocols/FvFm.p" --json >"$SCRATCH/compile.json" ||
  fail "the installed tessel-cli does not compile a shipped protocol"
grep -q '"result": 0' "$SCRATCH/compile.json" || fail "compile result: $(head -c 300 "$SCRATCH/compile.json")"
# Each run of the command line builds in a work file of its own and removes it.
left=$(find "$CONF" "$STATE" -name '$$$code*' 2>/dev/null | head -3 || true)
[ -z "$left" ] || fail "tessel-cli left its work file behind: $left"
cmp -s "$CONF/Tessel.ini" "$USR/share/tessel/Tessel.ini" || fail "Tessel.ini was not seeded into $CONF"

# The Python module from the system's Python path of the package, with the
# installed program's protocol language behind its analysis.
if [ -d "$USR/lib/python3/dist-packages/tessel" ]; then
  PYTHONPATH="$USR/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c "
import tessel
exp = tessel.read('$USR/share/tessel/examples/FvFm.exp')
print(exp.to_pandas().head())
fvfm = tessel.analyze(exp)['Fv/Fm'][0]
assert 0 < fvfm < 1, fvfm
assert tessel.data_dir().rstrip('/') == '$USR/share/tessel', tessel.data_dir()
" >"$SCRATCH/python.out" 2>&1 || fail "the installed Python module: $(cat "$SCRATCH/python.out")"
  dpkg-deb -f "$DEB" Depends | grep -q 'python3-numpy' || fail "Depends lacks python3-numpy"
fi

# The program, headless, until it has written its log; SIGTERM closes it as
# the Exit command does, which saves the settings.
"$USR/bin/tessel" >"$SCRATCH/tessel.out" 2>&1 &
PID=$!
for _ in $(seq 100); do
  grep -q '^LogFile created: ' "$STATE/logfile.txt" 2>/dev/null && break
  kill -0 "$PID" 2>/dev/null || fail "the program ended at start-up: $(cat "$SCRATCH/tessel.out")"
  sleep 0.2
done
grep -q '^LogFile created: ' "$STATE/logfile.txt" 2>/dev/null || fail "no log in $STATE"
sleep 1
kill -TERM "$PID"
for _ in $(seq 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
kill -0 "$PID" 2>/dev/null && fail "the program did not close on SIGTERM"
wait "$PID" || fail "the program ended with status $? on SIGTERM: $(cat "$SCRATCH/tessel.out")"
PID=
grep -q 'frmMain.*Width=' "$CONF/Tessel.conf" 2>/dev/null || fail "the settings were not saved in $CONF/Tessel.conf"

# Nothing was written into the program tree (root ignores the read-only bits).
changed=$(find "$TREE" -newer "$SCRATCH/stamp" | head -5)
[ -z "$changed" ] || fail "the installed program wrote into its own tree: $changed"

# Removing it leaves nothing behind.
chmod -R u+w "$TREE"
"${DPKG[@]}" -r tessel >"$SCRATCH/dpkg.out" 2>&1 || fail "dpkg -r failed: $(cat "$SCRATCH/dpkg.out")"
left=$(find "$TREE" -path "$TREE/var" -prune -o -type f -print | head -5)
[ -z "$left" ] || fail "left behind after removal: $left"
echo "package test: passed"
