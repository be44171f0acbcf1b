#!/usr/bin/env bash
# Builds the release archives in build/release/:
#   Varnosklen-1.0-win32.zip          the program, its read-me and licence
#   Varnosklen-1.0-standin-win32.zip  the stand-in switch, to try it without one
# The program is built twice from scratch in separate folders and must come
# out byte for byte the same.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

bash "$ROOT/scripts/setup.sh"
build

again="$BUILD_DIR/reproducibility"
rm -rf "$again"
cmake -S "$ROOT" -B "$again" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$again" -j "$(nproc)" --target Varnosklen AVR309 StandInPanel StandInControl >/dev/null
for file in Varnosklen.exe AVR309.dll StandInPanel.exe StandInControl.exe; do
  if ! cmp -s "$BIN_DIR/$file" "$again/bin/$file"; then
    echo "release.sh: $file differs between two builds of the same sources" >&2
    exit 1
  fi
done
echo "Reproducible: Varnosklen.exe $(sha256sum "$BIN_DIR/Varnosklen.exe" | cut -c1-16)..."

out="$BUILD_DIR/release"
mkdir -p "$out"
stamp="$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 1796601600)"
python3 - "$out" "$stamp" "$BIN_DIR" "$ROOT" <<'PY'
import sys, time, zipfile, pathlib
out, stamp, bin_dir, root = pathlib.Path(sys.argv[1]), int(sys.argv[2]), pathlib.Path(sys.argv[3]), pathlib.Path(sys.argv[4])
when = time.gmtime(stamp)[:6]

def text(path):  # Windows line endings, with a BOM so Notepad reads UTF-8
    return b"\xef\xbb\xbf" + path.read_text(encoding="utf-8").replace("\n", "\r\n").encode("utf-8")

def archive(name, entries):
    with zipfile.ZipFile(out / name, "w", zipfile.ZIP_DEFLATED) as z:
        for arcname, data in entries:
            info = zipfile.ZipInfo(f"Varnosklen-1.0/{arcname}", when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, data)
    print(out / name)

archive("Varnosklen-1.0-win32.zip", [
    ("Varnosklen.exe", (bin_dir / "Varnosklen.exe").read_bytes()),
    ("varnosklen-cli.exe", (bin_dir / "varnosklen-cli.exe").read_bytes()),
    ("DIAVASE-README.txt", text(root / "packaging/DIAVASE-README.txt")),
    ("LICENSE.txt", text(root / "LICENSE")),
])
archive("Varnosklen-1.0-standin-win32.zip", [
    ("AVR309.dll", (bin_dir / "AVR309.dll").read_bytes()),
    ("StandInPanel.exe", (bin_dir / "StandInPanel.exe").read_bytes()),
    ("StandInControl.exe", (bin_dir / "StandInControl.exe").read_bytes()),
    ("STANDIN-README.txt", text(root / "packaging/STANDIN-README.txt")),
    ("LICENSE.txt", text(root / "LICENSE")),
])
PY
