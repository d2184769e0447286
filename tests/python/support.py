"""Shared fixtures for the _quorvane tests.

The _quorvane module comes from PYTHONPATH (a build directory), or, with
QUORVANE_TEST_INSTALLED=1 in the environment, from the package installed in
the running interpreter's environment: then a module found anywhere else is an
error, so that such a run cannot pass by testing a build tree instead.
"""

import json
import os
import subprocess
import sys
import sysconfig
import textwrap

import _quorvane

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
BENCH_DATA = os.path.join(REPO, "bench", "data")

# Whether the tests run against the installed package rather than a build.
INSTALLED = os.environ.get("QUORVANE_TEST_INSTALLED") == "1"


def check_origin(module):
    """With QUORVANE_TEST_INSTALLED=1, refuses a module that does not come from
    the interpreter's site-packages."""
    if not INSTALLED:
        return
    path = os.path.realpath(module.__file__)
    roots = {os.path.realpath(sysconfig.get_paths()[k]) for k in ("platlib", "purelib")}
    if not any(os.path.commonpath([path, root]) == root for root in roots):
        raise ImportError(
            f"QUORVANE_TEST_INSTALLED=1, but {module.__name__} comes from {path}, "
            f"not from the installed package in {' or '.join(sorted(roots))}"
        )


check_origin(_quorvane)

MOVIE_NODES = {
    "Person": ["name", "born"],
    "Movie": ["title", "released", "tagline"],
    "Genre": ["name"],
    "User": ["userId", "name", "email"],
}
MOVIE_RELATIONSHIPS = {
    "ACTED_IN": ("Person", "Movie", ["roles"]),
    "DIRECTED": ("Person", "Movie", []),
    "FOLLOWS": ("Person", "Person", []),
    "IN_GENRE": ("Movie", "Genre", []),
    "RATED": ("User", "Movie", ["rating", "timestamp"]),
}


def movie_schema():
    return _quorvane.Schema(MOVIE_NODES, MOVIE_RELATIONSHIPS)


def bench_queries():
    """The benchmark's query file: one query per non-empty line."""
    with open(os.path.join(BENCH_DATA, "queries.cypher"), encoding="utf-8") as f:
        return [line for line in f.read().splitlines() if line.strip()]


def bench_schema():
    with open(os.path.join(BENCH_DATA, "movies.schema.json"), encoding="utf-8") as f:
        d = json.load(f)
    rels = {k: tuple(v) for k, v in d["relationships"].items()}
    return _quorvane.Schema(d["nodes"], rels)


def thread_count():
    """Threads of this process, from /proc."""
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("Threads:"):
                return int(line.split()[1])
    raise AssertionError("no Threads line in /proc/self/status")


def run_python(code, env=None, timeout=300, args=()):
    """Runs `code` in a fresh interpreter that finds the module and this file,
    with `args` as its sys.argv[1:]; returns the completed process (text
    mode). The pool settings are cleared unless `env` gives them."""
    full_env = dict(os.environ)
    paths = [HERE, os.path.dirname(_quorvane.__file__)]
    if os.environ.get("PYTHONPATH"):
        paths.append(os.environ["PYTHONPATH"])
    full_env["PYTHONPATH"] = os.pathsep.join(paths)
    for name in ("RAYON_NUM_THREADS", "RAYON_RS_NUM_CPUS"):
        full_env.pop(name, None)
    if env:
        full_env.update(env)
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code), *args],
        env=full_env,
        capture_output=True,
        text=True,
        timeout=timeout,
    )


def as_tuple(result):
    """Everything a ValidationResult exposes, for comparisons."""
    return (result.is_valid, result.errors, result.syntax_errors, result.semantic_errors)
