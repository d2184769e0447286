"""Checks the source distribution and the wheel that `python -m build` made.

    python tools/check_dist.py DIST_DIR

Run it with the CPython the wheel is meant for (3.13). The sdist must hold
every file of the source tree that git tracks (the build needs no more than
that, and the wheel in DIST_DIR is built from this sdist); the wheel must hold
exactly the module built for this interpreter, its stubs in both forms, the
quorvane package with py.typed and its examples, and metadata naming the
console script and the supported Pythons; its name and tags must be this
interpreter's. Prints what it checked; exit status 1 on any mismatch.
"""

import configparser
import email.parser
import os
import subprocess
import sys
import sysconfig
import tarfile
import tomllib
import zipfile

from packaging.tags import sys_tags
from packaging.utils import parse_sdist_filename, parse_wheel_filename

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
problems = []


def check(condition, message):
    if not condition:
        problems.append(message)
    return condition


def one(dist, suffix):
    found = [f for f in os.listdir(dist) if f.endswith(suffix)]
    if not check(len(found) == 1, f"expected one *{suffix} in {dist}, found {found}"):
        sys.exit(f"check_dist: {problems[-1]}")
    return os.path.join(dist, found[0])


def package_sources():
    """The files of python/quorvane that the install rules copy."""
    root = os.path.join(REPO, "python")
    found = set()
    for dirpath, dirnames, filenames in os.walk(os.path.join(root, "quorvane")):
        dirnames[:] = [d for d in dirnames if d != "__pycache__"]
        for name in filenames:
            if not name.endswith(".pyc"):
                found.add(os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/"))
    return found


def tracked_files():
    """The files git tracks here, or None outside a git checkout."""
    try:
        out = subprocess.run(
            ["git", "-C", REPO, "ls-files", "-z"], capture_output=True, check=True, text=True
        ).stdout
    except (OSError, subprocess.CalledProcessError):
        return None
    return {f for f in out.split("\0") if f and os.path.isfile(os.path.join(REPO, f))}


def check_sdist(path, project):
    name, version = parse_sdist_filename(os.path.basename(path))
    check(name == project["name"], f"sdist name {name}, expected {project['name']}")
    check(str(version) == project["version"], f"sdist version {version}, expected {project['version']}")
    top = f"{project['name']}-{project['version']}/"
    with tarfile.open(path) as tar:
        members = {m.name: m for m in tar.getmembers() if m.isfile()}
        check(all(n.startswith(top) for n in members), f"sdist entries outside {top}")
        inside = {n[len(top):] for n in members}
        info = tar.extractfile(members[top + "PKG-INFO"]) if top + "PKG-INFO" in members else None
        if check(info is not None, "sdist has no PKG-INFO"):
            meta = email.parser.BytesParser().parse(info)
            check(meta["Requires-Python"] == project["requires-python"],
                  f"sdist Requires-Python {meta['Requires-Python']!r}")
    tracked = tracked_files()
    if tracked is None:
        print("sdist: not a git checkout, so only its metadata was checked")
    else:
        missing = sorted(tracked - inside)
        check(not missing, f"sdist lacks tracked files: {missing[:20]}")
    for needed in ("pyproject.toml", "CMakeLists.txt", "src/CMakeLists.txt", "python/CMakeLists.txt",
                   "python/_quorvane.pyi", "README.md"):
        check(needed in inside, f"sdist lacks {needed}")
    print(f"sdist: {os.path.basename(path)}, {len(inside)} files"
          + ("" if tracked is None else f", {len(tracked & inside)} of the {len(tracked)} tracked files"))


def check_wheel(path, project):
    name, version, _, tags = parse_wheel_filename(os.path.basename(path))
    check(name == project["name"], f"wheel name {name}")
    check(str(version) == project["version"], f"wheel version {version}")
    tag_names = sorted(str(t) for t in tags)
    major, minor = sys.version_info[:2]
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    expected_tag = f"cp{major}{minor}-cp{major}{minor}-{platform}"
    check(tag_names == [expected_tag], f"wheel tags {tag_names}, expected [{expected_tag}]")
    supported = {str(t) for t in sys_tags()}
    check(set(tag_names) <= supported, f"wheel tags {tag_names} not supported by this interpreter")

    dist_info = f"{project['name']}-{project['version']}.dist-info/"
    expected = {
        "_quorvane" + sysconfig.get_config_var("EXT_SUFFIX"),
        "_quorvane.pyi",
        "_quorvane-stubs/__init__.pyi",
        *package_sources(),
        *(dist_info + f for f in ("METADATA", "WHEEL", "RECORD", "entry_points.txt")),
    }
    for needed in ("quorvane/py.typed", "quorvane/__main__.py", "quorvane/examples/movies.schema.json",
                   "quorvane/examples/movies.cypher"):
        check(needed in expected, f"the source tree lacks python/{needed}")
    with zipfile.ZipFile(path) as whl:
        names = {n for n in whl.namelist() if not n.endswith("/")}
        extra, missing = sorted(names - expected), sorted(expected - names)
        check(not missing, f"wheel lacks {missing}")
        check(not extra, f"wheel holds unexpected files {extra}")
        with open(os.path.join(REPO, "python", "_quorvane.pyi"), "rb") as f:
            stub = f.read()
        for name in ("_quorvane.pyi", "_quorvane-stubs/__init__.pyi"):
            if name in names:
                check(whl.read(name) == stub, f"wheel's {name} differs from python/_quorvane.pyi")
        for name in package_sources() & names:
            with open(os.path.join(REPO, "python", name), "rb") as f:
                check(whl.read(name) == f.read(), f"wheel's {name} differs from python/{name}")
        if dist_info + "METADATA" in names:
            meta = email.parser.BytesParser().parsebytes(whl.read(dist_info + "METADATA"))
            check(meta["Requires-Python"] == project["requires-python"],
                  f"wheel Requires-Python {meta['Requires-Python']!r}")
        if dist_info + "WHEEL" in names:
            wheel_meta = email.parser.BytesParser().parsebytes(whl.read(dist_info + "WHEEL"))
            check(wheel_meta["Root-Is-Purelib"] == "false", "wheel claims to be pure Python")
            check(wheel_meta.get_all("Tag") == [expected_tag], f"WHEEL Tag {wheel_meta.get_all('Tag')}")
        if dist_info + "entry_points.txt" in names:
            entry_points = configparser.ConfigParser()
            entry_points.read_string(whl.read(dist_info + "entry_points.txt").decode("utf-8"))
            scripts = dict(entry_points["console_scripts"]) if "console_scripts" in entry_points else {}
            check(scripts == project["scripts"], f"console scripts {scripts}, expected {project['scripts']}")
    print(f"wheel: {os.path.basename(path)}, {len(names)} files, tag {expected_tag}")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(os.path.join(REPO, "pyproject.toml"), "rb") as f:
        project = tomllib.load(f)["project"]
    dist = sys.argv[1]
    check_sdist(one(dist, ".tar.gz"), project)
    check_wheel(one(dist, ".whl"), project)
    for problem in problems:
        print(f"check_dist: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
