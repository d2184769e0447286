"""validate_batch: order, equality with validate, the released lock,
concurrent callers, forked children and deep queries."""

import json
import os
import sys
import threading
import time
import unittest
import warnings

import _quorvane
import support


class BatchResultsTest(unittest.TestCase):
    def setUp(self):
        self.v = _quorvane.CypherValidator(support.bench_schema())
        self.queries = support.bench_queries()

    def test_empty_batch(self):
        self.assertEqual(self.v.validate_batch([]), [])
        self.assertEqual(self.v.validate_batch(()), [])

    def test_results_follow_input_order_and_equal_validate(self):
        # Distinct texts so that any reordering shows.
        queries = [f"MATCH (p:Person) WHERE p.born = {i} RETURN p.nme{i % 3}" for i in range(3000)]
        queries += self.queries
        results = self.v.validate_batch(queries)
        self.assertEqual(len(results), len(queries))
        for query, result in zip(queries, results, strict=True):
            self.assertIs(type(result), _quorvane.ValidationResult)
            self.assertEqual(support.as_tuple(result), support.as_tuple(self.v.validate(query)),
                             query)

    def test_results_are_distinct_objects(self):
        results = self.v.validate_batch(["RETURN 1"] * 3)
        self.assertEqual(len({id(r) for r in results}), 3)

    def test_deep_queries_are_safe_on_pool_threads(self):
        queries = []
        for depth in (10, 300, 499, 500, 501, 5000):
            queries.append("RETURN " + "(" * depth + "1" + ")" * depth)
            queries.append("RETURN " + "[" * depth + "]" * depth)
            queries.append("RETURN " + " + ".join(["1"] * (depth * 2)))
        results = self.v.validate_batch(queries * 4)
        for query, result in zip(queries * 4, results, strict=True):
            self.assertEqual(support.as_tuple(result), support.as_tuple(self.v.validate(query)))

    def test_failed_conversion_validates_nothing(self):
        with self.assertRaises(TypeError):
            self.v.validate_batch(["MATCH (n) RETURN n", 5])


# Validates the benchmark queries (repeated, with a counter to tell them
# apart) by batch and one by one, in a fresh process.
BATCH_SCRIPT = """
import json, support, _quorvane
v = _quorvane.CypherValidator(support.bench_schema())
qs = [f"{q} // {i}" for i, q in enumerate(support.bench_queries() * 60)]
before = support.thread_count()
batch = [support.as_tuple(r) for r in v.validate_batch(qs)]
started = support.thread_count() - before
single = [support.as_tuple(v.validate(q)) for q in qs]
print(json.dumps({"threads": started, "same": batch == single, "results": batch}))
"""


class ThreadCountTest(unittest.TestCase):
    def run_batch(self, threads):
        proc = support.run_python(BATCH_SCRIPT, env={"RAYON_NUM_THREADS": str(threads)})
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return json.loads(proc.stdout)

    def test_one_and_two_threads_give_the_same_ordered_results(self):
        one = self.run_batch(1)
        two = self.run_batch(2)
        self.assertEqual(one["threads"], 1)
        self.assertEqual(two["threads"], 2)
        self.assertTrue(one["same"])
        self.assertTrue(two["same"])
        self.assertEqual(one["results"], two["results"])
        self.assertGreater(len(one["results"]), 1000)


class ConcurrencyTest(unittest.TestCase):
    def setUp(self):
        self.v = _quorvane.CypherValidator(support.bench_schema())
        self.queries = support.bench_queries()

    def test_the_interpreter_lock_is_released_during_a_batch(self):
        self.v.validate_batch(self.queries)  # start the pool first
        # How long a batch takes depends on the engine and the machine, so the
        # batch grows until it lasts long enough to tell; only what this run
        # measures is compared.
        repeats = 250
        while True:
            start, end, ticks = self.batch_beside_a_spinning_thread(self.queries * repeats)
            duration = end - start
            if duration > 0.2 or repeats >= 64_000:
                break
            repeats *= 4
        # The other thread may run briefly around the call while the lock
        # changes hands. Had the batch kept the lock, it could not have run
        # any Python code in the middle half of the call.
        inside = [x for x in ticks if start + duration / 4 < x < end - duration / 4]
        self.assertGreater(len(inside), 100, f"{repeats} repeats took {duration:.3f} s")

    def batch_beside_a_spinning_thread(self, queries):
        """Validates `queries` while another thread records the time as fast
        as it can; returns when the batch began and ended, and the ticks."""
        ticks = []
        stop = threading.Event()

        def spin():
            while not stop.is_set():
                ticks.append(time.perf_counter())

        interval = sys.getswitchinterval()
        sys.setswitchinterval(0.001)
        t = threading.Thread(target=spin)
        t.start()
        try:
            time.sleep(0.05)
            start = time.perf_counter()
            self.v.validate_batch(queries)
            end = time.perf_counter()
        finally:
            stop.set()
            t.join()
            sys.setswitchinterval(interval)
        return start, end, ticks

    def test_many_python_threads_validate_at_once(self):
        expected = {q: support.as_tuple(self.v.validate(q)) for q in self.queries}
        errors = []

        def worker(seed):
            try:
                for round_ in range(5):
                    chunk = self.queries[seed % 7:] + self.queries[: seed % 7]
                    got = self.v.validate_batch(chunk)
                    for q, r in zip(chunk, got, strict=True):
                        if support.as_tuple(r) != expected[q]:
                            errors.append((seed, q))
                    q = self.queries[(seed + round_) % len(self.queries)]
                    if support.as_tuple(self.v.validate(q)) != expected[q]:
                        errors.append((seed, q))
            except BaseException as e:  # reported below
                errors.append(repr(e))

        threads = [threading.Thread(target=worker, args=(i,)) for i in range(12)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(errors, [])

    def test_forked_child_runs_batches(self):
        expected = [support.as_tuple(r) for r in self.v.validate_batch(self.queries)]
        with warnings.catch_warnings():
            # Forking a process with threads draws a DeprecationWarning.
            warnings.simplefilter("ignore", DeprecationWarning)
            pid = os.fork()
        if pid == 0:
            code = 1
            try:
                got = [support.as_tuple(r) for r in self.v.validate_batch(self.queries)]
                code = 0 if got == expected else 3
            finally:
                os._exit(code)
        deadline = time.monotonic() + 120
        while True:
            done, status = os.waitpid(pid, os.WNOHANG)
            if done:
                break
            if time.monotonic() > deadline:
                os.kill(pid, 9)
                os.waitpid(pid, 0)
                self.fail("forked child hung in validate_batch")
            time.sleep(0.01)
        self.assertTrue(os.WIFEXITED(status))
        self.assertEqual(os.WEXITSTATUS(status), 0)
        # The parent's pool still works.
        self.assertEqual([support.as_tuple(r) for r in self.v.validate_batch(self.queries)],
                         expected)


if __name__ == "__main__":
    unittest.main()
