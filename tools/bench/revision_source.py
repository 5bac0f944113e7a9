"""The source of an earlier revision, for a benchmark to build and compare with:
a worktree of this repository in FOLDER/src, checked out at the revision again
when it is there already."""
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]


def source_of(revision, folder):
    source = Path(folder) / "src"
    if source.exists():
        subprocess.run(["git", "-C", str(source), "checkout", "-q", "--detach", revision], check=True)
    else:
        source.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["git", "-C", str(ROOT), "worktree", "add", "-q", "--detach", str(source), revision], check=True)
    return source
