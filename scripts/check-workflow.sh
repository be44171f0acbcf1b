#!/usr/bin/env bash
# What can be checked of the Windows workflow without Windows: it parses,
# runs on Windows in both MSYS2 environments, every action it uses is pinned
# (a release of GitHub's own, anyone else's by commit), and every file of
# this repository that its steps name exists.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - .github/workflows/windows.yml <<'PY'
import pathlib, re, sys
import yaml

name = sys.argv[1]
flow = yaml.safe_load(pathlib.Path(name).read_text(encoding="utf-8"))
wrong = []
for job_id, job in flow["jobs"].items():
    if not str(job.get("runs-on", "")).startswith("windows-"):
        wrong.append(f"job {job_id} does not run on Windows")
    systems = {row.get("msystem") for row in job.get("strategy", {}).get("matrix", {}).get("include", [])}
    if systems != {"MINGW32", "MINGW64"}:
        wrong.append(f"job {job_id} builds in {sorted(map(str, systems))}, not MINGW32 and MINGW64")
    for step in job["steps"]:
        uses = step.get("uses", "")
        own = uses.startswith("actions/")
        if uses and not re.search(r"@v\d+(\.\d+)*$" if own else r"@[0-9a-f]{40}$", uses):
            wrong.append(f"{uses} is not pinned to {'a release' if own else 'a commit'}")
        for path in re.findall(r"(?<![\w./-])((?:scripts|cmake|packaging|tests|docs)/[\w./-]*\w)", step.get("run", "")):
            if not pathlib.Path(path).exists():
                wrong.append(f"a step names {path}, which is not in the repository")
for line in wrong:
    print(f"check-workflow.sh: {name}: {line}", file=sys.stderr)
sys.exit(1 if wrong else 0)
PY
