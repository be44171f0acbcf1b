#!/usr/bin/env bash
# Builds the release in build/release/:
#   Varnosklen-1.0-setup.exe       the setup program (NSIS): what the program's
#                                  archive holds, installed for the current user
#   Varnosklen-1.0-win32.zip       Varnosklen-1.0/: the program, its read-me and licence
#   Varnosklen-1.0-demo-win32.zip  Varnosklen-1.0-demo/: a demo on the stand-in switch,
#                                  with its own copy of the program
#   Varnosklen-1.0-tests-win32.zip Varnosklen-1.0-tests/: the test programs, the programs
#                                  and the stand-in they drive, and run-tests.cmd, which
#                                  runs every CTest entry of this build on a Windows PC
# The two share no path, so unpacking one over the other can never put the
# demo's stand-in AVR309.dll beside a real installation. The program is built
# twice from scratch in separate folders and must come out byte for byte the
# same, and so must the setup program made of each.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# Only the 32-bit program is released: the vendor's library is 32-bit. The
# 64-bit twin is for testing where 32-bit programs cannot run.
BUILD_DIR="$BUILD32_DIR"
BIN_DIR="$BUILD_DIR/bin"
run_setup
build_arch 32
check_release_build

again="$BUILD_DIR/reproducibility"
rm -rf "$again"
cmake -S "$ROOT" -B "$again" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$again" -j "$(nproc)" --target Varnosklen varnosklen-cli AVR309 StandInPanel StandInControl >/dev/null
for file in Varnosklen.exe varnosklen-cli.exe AVR309.dll StandInPanel.exe StandInControl.exe; do
  if ! cmp -s "$BIN_DIR/$file" "$again/bin/$file"; then
    echo "release.sh: $file differs between two builds of the same sources" >&2
    exit 1
  fi
done
echo "Reproducible: Varnosklen.exe $(sha256sum "$BIN_DIR/Varnosklen.exe" | cut -c1-16)..."

out="$BUILD_DIR/release"
mkdir -p "$out"
rm -f "$out"/*.zip "$out"/*.exe
texts="$BUILD_DIR/setup-texts"
mkdir -p "$texts"
stamp="$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 1796601600)"
python3 - "$out" "$stamp" "$BIN_DIR" "$ROOT" "$texts" "$VERSION" <<'PY'
import sys, time, zipfile, pathlib
version = sys.argv[6]
out, bin_dir, root, texts = (pathlib.Path(sys.argv[i]) for i in (1, 3, 4, 5))
stamp = int(sys.argv[2])
when = time.gmtime(stamp)[:6]

def text(path):  # Windows line endings, with a BOM so Notepad reads UTF-8
    return b"\xef\xbb\xbf" + path.read_text(encoding="utf-8").replace("\n", "\r\n").encode("utf-8")

def binary(name):
    return (bin_dir / name).read_bytes()

def archive(name, folder, files):
    with zipfile.ZipFile(out / name, "w", zipfile.ZIP_DEFLATED) as z:
        for arcname, data in files.items():
            info = zipfile.ZipInfo(f"{folder}/{arcname}", when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, data)
    print(out / name)
    with zipfile.ZipFile(out / name) as z:
        return {path.lower() for path in z.namelist()}  # Windows folders ignore case

program = {
    "Varnosklen.exe": binary("Varnosklen.exe"),
    "varnosklen-cli.exe": binary("varnosklen-cli.exe"),
    "DIAVASE-README.txt": text(root / "packaging/DIAVASE-README.txt"),
    "LICENSE.txt": text(root / "LICENSE"),
    "NOTICES.txt": text(root / "packaging/NOTICES.txt"),
}
demo = {
    "Varnosklen.exe": binary("Varnosklen.exe"),
    "varnosklen-cli.exe": binary("varnosklen-cli.exe"),
    "AVR309.dll": binary("AVR309.dll"),
    "StandInPanel.exe": binary("StandInPanel.exe"),
    "StandInControl.exe": binary("StandInControl.exe"),
    "DEMO-README.txt": text(root / "packaging/DEMO-README.txt"),
    "LICENSE.txt": text(root / "LICENSE"),
    "NOTICES.txt": text(root / "packaging/NOTICES.txt"),
}
shared = archive(f"Varnosklen-{version}-win32.zip", f"Varnosklen-{version}", program) & \
         archive(f"Varnosklen-{version}-demo-win32.zip", f"Varnosklen-{version}-demo", demo)
if shared:
    sys.exit("release.sh: the program and the demo archives share " + ", ".join(sorted(shared)))
for name in ("DIAVASE-README.txt", "LICENSE.txt", "NOTICES.txt"):  # for the setup program, as in the archive
    (texts / name).write_bytes(program[name])
PY

# The test package: what CTest runs here, as a Windows PC runs it without Wine.
ctest --test-dir "$BUILD_DIR" --show-only=json-v1 >"$BUILD_DIR/tests.json"
python3 - "$out" "$stamp" "$BIN_DIR" "$BUILD_DIR/tests.json" "$VERSION" <<'PY'
import json, pathlib, sys, time, zipfile
out, bin_dir, listing = (pathlib.Path(sys.argv[i]) for i in (1, 3, 4))
when, version = time.gmtime(int(sys.argv[2]))[:6], sys.argv[5]
folder = f"Varnosklen-{version}-tests"
# The figures' programs are no tests.
measuring = {"bench.exe", "soak.exe", "bare_timer.exe", "bare_console.exe"}
files = sorted(f for f in bin_dir.iterdir() if f.suffix.lower() in (".exe", ".dll") and f.name not in measuring)
# As in the build: the programs in bin\\, and beside it the icons resources_test compares.
entries = {f"bin/{f.name}": f.read_bytes() for f in files}
entries.update({f"resources/{f.name}": f.read_bytes() for f in sorted((bin_dir / "../resources").glob("*.ico"))})

lines = [
    "@echo off",
    f"rem Runs every test of Varnosklen {version} on this PC, on the stand-in switch in this",
    "rem folder, then prints one line: N passed, N failed, N skipped. Each one's output is",
    "rem in results\\NAME.txt. Some need an administrator; see docs/development.md.",
    "setlocal",
    'cd /d "%~dp0bin"',
    "if not exist ..\\results mkdir ..\\results",
    "set passed=0",
    "set failed=0",
    "set skipped=0",
]
for test in json.load(open(listing))["tests"]:
    props = {p["name"]: p["value"] for p in test.get("properties", [])}
    command = test["command"]
    if not command[0].lower().endswith(".exe"):
        command = command[1:]  # the Wine loader
    program = pathlib.Path(command[0]).name
    name = test["name"]
    lines += ["echo " + name, "setlocal"]
    lines += [f'set "{entry}"' for entry in props.get("ENVIRONMENT", []) if not entry.startswith("LC_ALL=")]
    lines += [" ".join([program] + command[1:]) + f' > "..\\results\\{name}.txt" 2>&1',
              "endlocal & set code=%errorlevel%", f"call :tally {name}"]
lines += [
    "echo.",
    "echo %passed% passed, %failed% failed, %skipped% skipped",
    "if %failed% gtr 0 exit /b 1",
    "exit /b 0",
    "",
    ":tally",
    'if not "%code%"=="0" (',
    "  set /a failed+=1",
    "  echo   failed, exit code %code%: see results\\%1.txt",
    "  exit /b",
    ")",
    "set skip=0",
    'find "Windows only, " "..\\results\\%1.txt" >nul',
    "if not errorlevel 1 set skip=1",
    'find "Made for a Windows " "..\\results\\%1.txt" >nul',
    "if not errorlevel 1 set skip=1",
    'if "%skip%"=="0" (',
    "  set /a passed+=1",
    "  echo   passed",
    "  exit /b",
    ")",
    "set /a skipped+=1",
    "echo   skipped:",
    'find "Windows only" < "..\\results\\%1.txt"',
    'find "Made for" < "..\\results\\%1.txt"',
    "exit /b",
]
with zipfile.ZipFile(out / f"Varnosklen-{version}-tests-win32.zip", "w", zipfile.ZIP_DEFLATED) as z:
    entries["run-tests.cmd"] = ("\r\n".join(lines) + "\r\n").encode("ascii")
    for arcname, data in entries.items():
        info = zipfile.ZipInfo(f"{folder}/{arcname}", when)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        z.writestr(info, data)
print(out / f"Varnosklen-{version}-tests-win32.zip")
PY

# make_setup BUILD OUT: the setup program of the programs built in BUILD.
make_setup() {
  if ! makensis -V2 -INPUTCHARSET UTF8 -DBIN_DIR="$1/bin" -DICON="$1/resources/varnosklen.ico" \
    -DREADME="$texts/DIAVASE-README.txt" -DLICENSE="$texts/LICENSE.txt" -DNOTICES="$texts/NOTICES.txt" -DOUT_FILE="$2" \
    "$ROOT/packaging/installer.nsi"; then
    echo "release.sh: NSIS could not make $2 (makensis failed)" >&2
    return 1
  fi
}
setup="$out/Varnosklen-$VERSION-setup.exe"
make_setup "$BUILD_DIR" "$setup"
make_setup "$again" "$again/Varnosklen-$VERSION-setup.exe"
if ! cmp -s "$setup" "$again/Varnosklen-$VERSION-setup.exe"; then
  echo "release.sh: the setup program differs between two builds of the same sources" >&2
  exit 1
fi
echo "$setup"
