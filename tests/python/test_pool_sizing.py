"""The worker pool's size, read from the environment when it is created."""

import os
import unittest

import support

# Prints how many threads the first batch started.
COUNT_SCRIPT = """
import os, support, _quorvane
{prelude}
v = _quorvane.CypherValidator(_quorvane.Schema({{}}, {{}}))
before = support.thread_count()
v.validate_batch(["RETURN 1"] * 50)
print(support.thread_count() - before)
"""


def pool_threads(env=None, prelude=""):
    proc = support.run_python(COUNT_SCRIPT.format(prelude=prelude), env=env)
    if proc.returncode != 0:
        raise AssertionError(proc.stderr)
    return int(proc.stdout)


class PoolSizingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.default = pool_threads()

    def test_default_is_the_usable_cpu_count(self):
        self.assertGreaterEqual(self.default, 1)
        self.assertLessEqual(self.default, len(os.sched_getaffinity(0)))

    def test_default_follows_the_affinity_mask(self):
        one_cpu = "os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})"
        self.assertEqual(pool_threads(prelude=one_cpu), 1)

    def test_num_threads_is_used_when_positive(self):
        self.assertEqual(pool_threads({"RAYON_NUM_THREADS": "3"}), 3)
        self.assertEqual(pool_threads({"RAYON_NUM_THREADS": "+2"}), 2)
        self.assertEqual(pool_threads({"RAYON_NUM_THREADS": "1", "RAYON_RS_NUM_CPUS": "4"}), 1)

    def test_zero_means_the_default_even_with_the_other_setting(self):
        self.assertEqual(pool_threads({"RAYON_NUM_THREADS": "0", "RAYON_RS_NUM_CPUS": "5"}),
                         self.default)

    def test_malformed_num_threads_falls_back_to_rs_num_cpus(self):
        for bad in ("abc", "-1", " 2", "2 ", "1.5", "", "++2", "99999999999999999999999"):
            with self.subTest(value=bad):
                self.assertEqual(
                    pool_threads({"RAYON_NUM_THREADS": bad, "RAYON_RS_NUM_CPUS": "3"}), 3)

    def test_rs_num_cpus_only_counts_when_positive(self):
        self.assertEqual(pool_threads({"RAYON_RS_NUM_CPUS": "+4"}), 4)
        for bad in ("0", "x", "-3"):
            with self.subTest(value=bad):
                self.assertEqual(pool_threads({"RAYON_RS_NUM_CPUS": bad}), self.default)

    def test_malformed_everything_gives_the_default(self):
        self.assertEqual(pool_threads({"RAYON_NUM_THREADS": "-1"}), self.default)
        self.assertEqual(
            pool_threads({"RAYON_NUM_THREADS": "two", "RAYON_RS_NUM_CPUS": "three"}), self.default)

    def test_the_pool_is_created_once_and_kept(self):
        proc = support.run_python(
            """
            import os, support, _quorvane
            v = _quorvane.CypherValidator(_quorvane.Schema({}, {}))
            base = support.thread_count()
            v.validate_batch(["RETURN 1"])
            first = support.thread_count() - base
            os.environ["RAYON_NUM_THREADS"] = "7"  # read only at creation
            for _ in range(20):
                v.validate_batch(["RETURN 1"] * 10)
            w = _quorvane.CypherValidator(_quorvane.Schema({}, {}))
            w.validate_batch(["RETURN 2"])
            print(first, support.thread_count() - base)
            """,
            env={"RAYON_NUM_THREADS": "2"},
        )
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(proc.stdout.split(), ["2", "2"])

    def test_no_pool_before_the_first_batch(self):
        proc = support.run_python(
            """
            import support, _quorvane
            base = support.thread_count()
            v = _quorvane.CypherValidator(_quorvane.Schema({}, {}))
            v.validate("RETURN 1")
            v.validate_batch([])
            _quorvane.parse_query("RETURN 1")
            print(support.thread_count() - base)
            """,
            env={"RAYON_NUM_THREADS": "2"},
        )
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(proc.stdout.strip(), "0")


if __name__ == "__main__":
    unittest.main()
