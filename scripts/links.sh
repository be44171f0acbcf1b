#!/usr/bin/env bash
# Checks that every link and picture in README.md and docs/*.md leads
# somewhere: the file exists and, with a #part, the heading is in it.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - README.md docs/*.md <<'PY'
import re, sys, pathlib

def anchors(path):
    # Headings as GitHub names them: lower case, punctuation dropped, blanks to hyphens.
    found = set()
    in_code = False
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("```"):
            in_code = not in_code
        elif not in_code and (m := re.match(r"#+\s+(.*)", line)):
            slug = re.sub(r"[^\w\- ]", "", m.group(1).strip().lower()).replace(" ", "-")
            found.add(slug)
    return found

broken = []
for name in sys.argv[1:]:
    page = pathlib.Path(name)
    text = re.sub(r"```.*?```", "", page.read_text(encoding="utf-8"), flags=re.S)
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target):
            continue  # a web address
        file, _, part = target.partition("#")
        dest = (page.parent / file) if file else page
        if not dest.exists():
            broken.append(f"{page}: {target}: no such file")
        elif part and dest.suffix == ".md" and part not in anchors(dest):
            broken.append(f"{page}: {target}: no such heading")
for line in broken:
    print("links.sh:", line, file=sys.stderr)
sys.exit(1 if broken else 0)
PY
