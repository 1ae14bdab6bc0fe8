"""Runs the generator benchmark: the same sites built by `vellumite preview` and by Hugo.

For each size a fresh app folder and Hugo folder are made, then both tools build their pages
RUNS times, alternating. Wall time is the median of the runs; peak memory is the largest
resident set of the tool's process (wait4's ru_maxrss). Pages and bytes are counted from what
each tool wrote.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def measure(cmd, cwd=None):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"{cmd[0]} failed: {err}")
    return wall, usage.ru_maxrss / 1024.0  # MiB


def count_pages(folder):
    pages = size = 0
    for root, _, files in os.walk(folder):
        for name in files:
            if name.endswith(".html"):
                pages += 1
                size += os.path.getsize(os.path.join(root, name))
    return pages, size


def bench_size(build, posts, runs, work):
    app = os.path.join(work, f"app{posts}")
    hugo = os.path.join(work, f"hugo{posts}")
    vellumite = os.path.join(build, "vellumite")
    subprocess.run([vellumite, "--data-dir", app, "sites"], check=True, stdout=subprocess.DEVNULL)
    shutil.copytree(os.path.join(HERE, "hugo"), hugo)
    subprocess.run([os.path.join(build, "bench", "bench_generator"), app, hugo, str(posts)],
                   check=True, stdout=subprocess.DEVNULL)
    output = os.path.join(app, "html", "output")
    public = os.path.join(work, f"public{posts}")
    ours, theirs = [], []
    for _ in range(runs):
        shutil.rmtree(output, ignore_errors=True)
        os.makedirs(output)
        ours.append(measure([vellumite, "--data-dir", app, "preview", "Bench"]))
        shutil.rmtree(public, ignore_errors=True)
        theirs.append(measure(["hugo", "--quiet", "--source", hugo, "--destination", public]))
    return {
        "vellumite": (count_pages(output), statistics.median(w for w, _ in ours),
                      max(m for _, m in ours)),
        "hugo": (count_pages(public), statistics.median(w for w, _ in theirs),
                 max(m for _, m in theirs)),
    }


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--sizes", default="1000,10000")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    version = subprocess.run(["hugo", "version"], capture_output=True, text=True).stdout.split()[1]
    print(f"generator benchmark: vellumite preview vs hugo {version}, median of {args.runs} runs")
    print(f"{'posts':>6} {'tool':<10} {'pages':>6} {'bytes':>11} {'wall s':>8} {'peak MiB':>9}")
    with tempfile.TemporaryDirectory(prefix="vellumite-bench-") as work:
        for posts in (int(s) for s in args.sizes.split(",")):
            r = bench_size(args.build, posts, args.runs, work)
            for tool in ("vellumite", "hugo"):
                (pages, size), wall, peak = r[tool]
                print(f"{posts:>6} {tool:<10} {pages:>6} {size:>11} {wall:>8.3f} {peak:>9.1f}")
            (_, _), vw, vm = r["vellumite"]
            (_, _), hw, hm = r["hugo"]
            print(f"{posts:>6} ratio      hugo/vellumite wall time {hw / vw:.2f}x, "
                  f"peak memory {hm / vm:.2f}x")


if __name__ == "__main__":
    main()
