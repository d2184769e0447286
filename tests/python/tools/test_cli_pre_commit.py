"""The repository's pre-commit hook (.pre-commit-hooks.yaml), run by the real
pre-commit in a scratch git repository: it fails on a bad query and passes on
good ones, with the settings of the project's configuration file."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import tomllib
import unittest

import yaml  # comes with pre-commit

import _quorvane

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
HOOKS = os.path.join(REPO, ".pre-commit-hooks.yaml")

SCHEMA = {"nodes": {"Person": ["name"], "Movie": ["title"]}, "relationships": {"ACTED_IN": ["Person", "Movie", []]}}


def pre_commit(*argv, cwd, env):
    return subprocess.run(
        [sys.executable, "-m", "pre_commit", *argv], cwd=cwd, env=env, capture_output=True, text=True, timeout=600
    )


class ScratchRepository(unittest.TestCase):
    """A scratch git repository to run pre-commit in, with a `quorvane`
    command on PATH that runs this tree's package."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.tmp)
        self.repo = os.path.join(self.tmp, "project")
        bin_dir = os.path.join(self.tmp, "bin")
        os.makedirs(self.repo)
        os.makedirs(bin_dir)
        # The hook's entry is the installed `quorvane` command; here it runs
        # this tree's package (PYTHONPATH holds it and the built module).
        quorvane = os.path.join(bin_dir, "quorvane")
        with open(quorvane, "w") as f:
            f.write(f'#!/bin/sh\nexec "{sys.executable}" -m quorvane "$@"\n')
        os.chmod(quorvane, 0o755)
        self.env = dict(
            os.environ,
            PATH=bin_dir + os.pathsep + os.environ["PATH"],
            PRE_COMMIT_HOME=os.path.join(self.tmp, "cache"),
            GIT_AUTHOR_NAME="t",
            GIT_AUTHOR_EMAIL="t@example.com",
            GIT_COMMITTER_NAME="t",
            GIT_COMMITTER_EMAIL="t@example.com",
        )
        self.git("init", "-q")

    def git(self, *argv):
        subprocess.run(["git", *argv], cwd=self.repo, env=self.env, check=True, capture_output=True)

    def write(self, name, text):
        path = os.path.join(self.repo, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
        self.git("add", name)

    def hook(self):
        with open(HOOKS) as f:
            (hook,) = [h for h in yaml.safe_load(f) if h["id"] == "quorvane-check"]
        return hook


class PreCommitHookTest(ScratchRepository):
    def test_the_manifest_is_valid(self):
        proc = pre_commit("validate-manifest", HOOKS, cwd=self.repo, env=self.env)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        hook = self.hook()
        self.assertEqual((hook["entry"], hook["language"]), ("quorvane check", "python"))

    def test_the_hook_fails_on_a_bad_query_and_passes_on_good_ones(self):
        hook = self.hook()
        # The hook as the manifest declares it, run from this checkout: the
        # entry is already installed, so the local copy uses the system
        # language instead of building the package into an environment.
        local = dict(hook, language="system")
        config = {"repos": [{"repo": "local", "hooks": [local]}]}
        self.write(".pre-commit-config.yaml", yaml.safe_dump(config))
        self.write("quorvane.toml", 'schema = "graph/schema.json"\n')
        self.write("graph/schema.json", json.dumps(SCHEMA))
        self.write("queries/good.cypher", "MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name, m.title;\n")
        self.write("queries/other.cql", "MATCH (m:Movie) RETURN m.title")
        self.write("notes.md", "MATCH (n RETURN n\n")  # not a query file: not checked
        proc = pre_commit("run", "--all-files", cwd=self.repo, env=self.env)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        self.assertRegex(proc.stdout, r"quorvane check\.+Passed")

        self.write("queries/bad.cypher", "MATCH (p:Persn) RETURN p;\n")
        proc = pre_commit("run", "--all-files", cwd=self.repo, env=self.env)
        self.assertEqual(proc.returncode, 1, proc.stdout + proc.stderr)
        self.assertRegex(proc.stdout, r"quorvane check\.+Failed")
        self.assertIn("queries/bad.cypher:1:", proc.stdout)
        self.assertIn("error[unknown-label] Unknown node label: :Persn, did you mean :Person?", proc.stdout)

        # Fixed: passes again, and only the changed file is handed over.
        self.write("queries/bad.cypher", "MATCH (p:Person) RETURN p;\n")
        proc = pre_commit("run", "--files", "queries/bad.cypher", "--verbose", cwd=self.repo, env=self.env)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        self.assertIn("1 query checked, no errors", proc.stdout)


def hook_repository(path):
    """A clone of this repository with the working tree's package and hook
    manifest, built as pure Python: its pyproject.toml keeps the project's
    [project] table (name, dependencies, the `quorvane` script) but swaps the
    C++ build for setuptools, so that pre-commit's `pip install` of the hook
    is quick; the compiled module comes from PYTHONPATH."""
    subprocess.run(["git", "clone", "-q", REPO, path], check=True, capture_output=True)
    shutil.rmtree(os.path.join(path, "python", "quorvane"))
    shutil.copytree(
        os.path.join(REPO, "python", "quorvane"),
        os.path.join(path, "python", "quorvane"),
        ignore=shutil.ignore_patterns("__pycache__"),
    )
    shutil.copy(HOOKS, os.path.join(path, ".pre-commit-hooks.yaml"))
    with open(os.path.join(REPO, "pyproject.toml"), "rb") as f:
        project = tomllib.load(f)["project"]
    lines = ['[build-system]\nrequires = ["setuptools>=68"]\nbuild-backend = "setuptools.build_meta"\n\n[project]']
    for key in ("name", "version", "requires-python", "dependencies"):
        if key in project:
            lines.append(f"{key} = {json.dumps(project[key])}")
    lines.append("\n[project.scripts]")
    lines.extend(f"{name} = {json.dumps(target)}" for name, target in project["scripts"].items())
    lines.append('\n[tool.setuptools.packages.find]\nwhere = ["python"]\ninclude = ["quorvane*"]')
    with open(os.path.join(path, "pyproject.toml"), "w") as f:
        f.write("\n".join(lines) + "\n")
    git = ["git", "-c", "user.name=t", "-c", "user.email=t@example.com"]
    subprocess.run([*git, "add", "-A"], cwd=path, check=True, capture_output=True)
    subprocess.run([*git, "commit", "-qm", "hook"], cwd=path, check=True, capture_output=True)


class TryRepoTest(ScratchRepository):
    """`pre-commit try-repo` on a clone of this repository: pre-commit
    installs the hook as the manifest says (language: python, entry
    `quorvane check`) into an environment of its own and runs it on the
    project's files; the schema comes from the project's pyproject.toml."""

    def test_try_repo_runs_the_hook_with_the_projects_configuration(self):
        clone = os.path.join(self.tmp, "hook-repo")
        hook_repository(clone)
        # Only the compiled module on the path: the package and its
        # `quorvane` script must come from the hook's environment.
        env = dict(self.env, PYTHONPATH=os.path.dirname(os.path.abspath(_quorvane.__file__)))
        env["PATH"] = os.pathsep.join(p for p in env["PATH"].split(os.pathsep) if p != os.path.join(self.tmp, "bin"))
        self.write("pyproject.toml", '[project]\nname = "app"\n\n[tool.quorvane]\nschema = "graph/schema.json"\nignore = ["unknown-function"]\n')
        self.write("graph/schema.json", json.dumps(SCHEMA))
        self.write("app/queries/good.cypher", "MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name;\n")
        self.write("app/queries/funcs.cql", "RETURN nosuchfn(1);\n")  # ignored by the configuration
        self.write("app/queries/bad.cypher", "MATCH (p:Persn) RETURN p;\n")
        self.write("README.md", "MATCH (n RETURN n\n")  # not a query file

        def try_repo():
            return pre_commit("try-repo", clone, "quorvane-check", "--all-files", "--verbose", cwd=self.repo, env=env)

        proc = try_repo()
        self.assertEqual(proc.returncode, 1, proc.stdout + proc.stderr)
        self.assertRegex(proc.stdout, r"quorvane check\.+Failed")
        self.assertIn(
            "app/queries/bad.cypher:1:10: error[unknown-label] Unknown node label: :Persn, did you mean :Person?",
            proc.stdout,
        )
        self.assertIn("3 queries checked, 1 with errors: 1 schema error", proc.stdout)
        self.assertNotIn("unknown-function", proc.stdout)
        self.assertNotIn("no schema given", proc.stdout + proc.stderr)

        self.write("app/queries/bad.cypher", "MATCH (p:Person) RETURN p;\n")
        proc = try_repo()
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        self.assertRegex(proc.stdout, r"quorvane check\.+Passed")
        self.assertIn("3 queries checked, no errors", proc.stdout)


if __name__ == "__main__":
    unittest.main()
