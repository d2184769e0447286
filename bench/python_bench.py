#!/usr/bin/env python3
"""Throughput of the _quorvane module from Python.

Measures, on bench/data/queries.cypher against bench/data/movies.schema.json:
  * CypherValidator.validate calls per second in a Python loop,
  * validate_batch throughput over 100,000 queries with 1 and with 2 pool
    threads (each thread count in its own process, since the pool is sized
    once per process),
  * parse_query calls per second,
  * CypherGenerator.generate calls per second over every query type in turn,
and compares them with the core's own validation speed, taken from the
validate_bench program (BM_ValidateCorpus) when it has been built.

    python3 bench/python_bench.py --build-dir build
"""

import argparse
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
VERSION = "%d.%d" % sys.version_info[:2]


def load_inputs():
    import _quorvane

    with open(os.path.join(DATA, "movies.schema.json"), encoding="utf-8") as f:
        d = json.load(f)
    schema = _quorvane.Schema(d["nodes"], {k: tuple(v) for k, v in d["relationships"].items()})
    with open(os.path.join(DATA, "queries.cypher"), encoding="utf-8") as f:
        queries = [line for line in f.read().splitlines() if line.strip()]
    return _quorvane, schema, queries


def best_rate(fn, items, rounds=5, min_seconds=0.5):
    """Best items per second over several rounds of calling fn(item) for
    every item (repeating the list until a round lasts min_seconds), by wall
    clock and by this process's CPU time."""
    repeat = 1
    while True:
        start = time.perf_counter()
        for _ in range(repeat):
            for item in items:
                fn(item)
        if time.perf_counter() - start >= min_seconds / 4:
            break
        repeat *= 2
    best_wall = best_cpu = 0.0
    for _ in range(rounds):
        start, start_cpu = time.perf_counter(), time.process_time()
        for _ in range(repeat):
            for item in items:
                fn(item)
        wall, cpu = time.perf_counter() - start, time.process_time() - start_cpu
        best_wall = max(best_wall, repeat * len(items) / wall)
        best_cpu = max(best_cpu, repeat * len(items) / cpu)
    return best_wall, best_cpu


def generate_rate(_quorvane, schema):
    """Best generated queries per second through CypherGenerator.generate, the
    thirteen query types taken in turn."""
    generator = _quorvane.CypherGenerator(schema, seed=42)
    types = _quorvane.CypherGenerator.supported_types()
    rate, _ = best_rate(generator.generate, types * 100)
    return rate


def batch_worker(size, rounds):
    """Runs in a child process: times validate_batch and prints JSON."""
    _quorvane, schema, queries = load_inputs()
    validator = _quorvane.CypherValidator(schema)
    batch = [queries[i % len(queries)] for i in range(size)]
    validator.validate_batch(queries)  # start the pool outside the timing
    best = float("inf")
    best_cpu = float("inf")
    for _ in range(rounds):
        start, start_cpu = time.perf_counter(), time.process_time()
        results = validator.validate_batch(batch)
        best = min(best, time.perf_counter() - start)
        best_cpu = min(best_cpu, time.process_time() - start_cpu)
        assert len(results) == size
        del results  # freeing them is not part of the call being timed
    # CPU time over all threads: if it stays flat as threads are added, the
    # work itself scales and only free cores limit the speed-up.
    print(json.dumps({"seconds": best, "queries_per_second": size / best,
                      "cpu_us_per_query": best_cpu / size * 1e6}))


def run_batch(threads, size, rounds, module_dir):
    env = dict(os.environ)
    env["RAYON_NUM_THREADS"] = str(threads)
    env.pop("RAYON_RS_NUM_CPUS", None)
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [module_dir, env.get("PYTHONPATH")]))
    out = subprocess.run(
        [sys.executable, os.path.abspath(__file__), "--batch-worker", "--batch-size", str(size),
         "--rounds", str(rounds)],
        env=env, check=True, capture_output=True, text=True,
    ).stdout
    return json.loads(out)


def core_rate(core_bench):
    """Queries per second of the core validator, from validate_bench."""
    if not core_bench or not os.path.exists(core_bench):
        return None
    out = subprocess.run(
        [core_bench, "--benchmark_filter=BM_ValidateCorpus$", "--benchmark_format=json",
         "--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True,
    ).stdout
    runs = json.loads(out)["benchmarks"]
    rates = [r["items_per_second"] for r in runs if r.get("aggregate_name") in ("max", "median")]
    if not rates:
        rates = [r["items_per_second"] for r in runs]
    return max(rates)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", default=os.path.join(os.path.dirname(HERE), "build"))
    parser.add_argument("--module-dir", help="directory holding _quorvane (default: "
                        "<build-dir>/python/<this interpreter's version>)")
    parser.add_argument("--core-bench", help="validate_bench program (default: "
                        "<build-dir>/bench/validate_bench)")
    parser.add_argument("--batch-size", type=int, default=100_000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--json", action="store_true", help="print the figures as JSON")
    parser.add_argument("--batch-worker", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()

    if args.batch_worker:
        batch_worker(args.batch_size, args.rounds)
        return 0

    module_dir = args.module_dir or os.path.join(args.build_dir, "python", VERSION)
    module_dir = os.path.abspath(module_dir)
    sys.path.insert(0, module_dir)
    _quorvane, schema, queries = load_inputs()
    validator = _quorvane.CypherValidator(schema)

    figures = {"python": VERSION, "queries_in_corpus": len(queries)}
    figures["validate_per_second"], validate_cpu_rate = best_rate(validator.validate, queries)
    figures["parse_query_per_second"], _ = best_rate(_quorvane.parse_query, queries)
    figures["generate_per_second"] = generate_rate(_quorvane, schema)
    one = run_batch(1, args.batch_size, args.rounds, module_dir)
    two = run_batch(2, args.batch_size, args.rounds, module_dir)
    figures["batch_size"] = args.batch_size
    figures["batch_1_thread_per_second"] = one["queries_per_second"]
    figures["batch_2_threads_per_second"] = two["queries_per_second"]
    figures["batch_speedup_2_over_1"] = two["queries_per_second"] / one["queries_per_second"]
    figures["batch_1_thread_cpu_us_per_query"] = one["cpu_us_per_query"]
    figures["batch_2_threads_cpu_us_per_query"] = two["cpu_us_per_query"]

    core_bench = args.core_bench or os.path.join(args.build_dir, "bench", "validate_bench")
    core = core_rate(core_bench)
    validate_us = 1e6 / figures["validate_per_second"]
    figures["validate_us_per_call"] = validate_us
    # Google Benchmark's rate is per CPU second, so compare CPU time.
    validate_cpu_us = 1e6 / validate_cpu_rate
    figures["validate_cpu_us_per_call"] = validate_cpu_us
    if core is not None:
        core_us = 1e6 / core
        figures["core_validate_cpu_us_per_query"] = core_us
        figures["validate_limit_us"] = 1.2 * core_us + 0.5
        figures["validate_overhead_us"] = validate_cpu_us - core_us

    if args.json:
        print(json.dumps(figures, indent=2))
        return 0
    print(f"CPython {VERSION}, {len(queries)} corpus queries, module from {module_dir}")
    print(f"validate (Python loop)    {figures['validate_per_second']:12,.0f} calls/s"
          f"  ({validate_us:.2f} us/call)")
    print(f"parse_query (Python loop) {figures['parse_query_per_second']:12,.0f} calls/s"
          f"  ({1e6 / figures['parse_query_per_second']:.2f} us/call)")
    print(f"generate (Python loop)    {figures['generate_per_second']:12,.0f} queries/s"
          f"  ({1e6 / figures['generate_per_second']:.2f} us/query, target >= 300,000/s)")
    print(f"validate_batch, 1 thread  {figures['batch_1_thread_per_second']:12,.0f} queries/s"
          f"  ({args.batch_size:,} queries)")
    print(f"validate_batch, 2 threads {figures['batch_2_threads_per_second']:12,.0f} queries/s"
          f"  (speed-up {figures['batch_speedup_2_over_1']:.2f}x, target >= 1.80x)")
    print(f"batch CPU time per query  {one['cpu_us_per_query']:.2f} us with 1 thread, "
          f"{two['cpu_us_per_query']:.2f} us with 2")
    load = os.getloadavg()[0]
    if load > 1.5:
        print(f"note: load average {load:.1f} during the run; speed-ups need idle cores")
    if core is not None:
        print(f"core validation           {core:12,.0f} queries/CPU-s"
              f"  ({figures['core_validate_cpu_us_per_query']:.2f} us/query)")
        print(f"validate from Python: {validate_cpu_us:.2f} CPU-us per call vs limit "
              f"{figures['validate_limit_us']:.2f} us (1.2 x core + 0.5 us); "
              f"overhead {figures['validate_overhead_us']:+.2f} us")
    else:
        print(f"core validation: {core_bench} not built; no comparison")
    return 0


if __name__ == "__main__":
    sys.exit(main())
