"""The repository's pre-commit hook (.pre-commit-hooks.yaml), run by the real
pre-commit in a scratch git repository: it fails on a bad query and passes on
good ones."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import yaml  # comes with pre-commit

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
HOOKS = os.path.join(REPO, ".pre-commit-hooks.yaml")

SCHEMA = {"nodes": {"Person": ["name"], "Movie": ["title"]}, "relationships": {"ACTED_IN": ["Person", "Movie", []]}}


def pre_commit(*argv, cwd, env):
    return subprocess.run(
        [sys.executable, "-m", "pre_commit", *argv], cwd=cwd, env=env, capture_output=True, text=True, timeout=600
    )


class PreCommitHookTest(unittest.TestCase):
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


if __name__ == "__main__":
    unittest.main()
