#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Helper of phone_conformance.sh: converts every file with every profile of every output type
through morvane-cli and judges each output as a phone reads it (phone_boxes.py: the box tree,
the sample tables and the stream headers, no FFmpeg), then prints one line per profile.
With --stretch F the default profiles run again with every video rate option times F, and
the table compares one-second peaks and picture quality (PSNR against the source, by ffmpeg's
psnr filter) of both. Standard library only."""
import argparse
import configparser
import os
import re
import shutil
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import phone_boxes as pb  # noqa: E402

TYPES = {0: "3GP_AMR_Profile.ini", 1: "3GP_AAC_Profile.ini", 2: "3GP2_AAC_Profile.ini"}
TIMEOUT = 600


def read_profiles(app):
    """{type: [(number, title, first pass, default)]} from the profile files."""
    out = {}
    for t, name in TYPES.items():
        cp = configparser.RawConfigParser(strict=False, interpolation=None)
        cp.optionxform = str
        with open(os.path.join(app, name), encoding="utf-8") as f:
            cp.read_file(f)
        sections = cp.sections()
        default = int(re.match(r"\s*(\d*)", cp.get("Info", "DefaultProfile", fallback="0")).group(1) or 0)
        out[t] = []
        for n, sec in enumerate(sections[1:], 1):
            values = list(cp.items(sec))
            out[t].append((n, cp.get(sec, "Title", fallback=""), values[1][1] if len(values) > 1 else "",
                           n == default))
    return out


def scale_rates(app, factor):
    """Every -b:v, -maxrate and -bufsize of the profile files in app times factor."""
    def scaled(m):
        value = float(m.group(2)) * (1000 if m.group(3) == "k" else 1)
        return "%s %d" % (m.group(1), round(value * factor))
    for name in TYPES.values():
        path = os.path.join(app, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        text = re.sub(r"(-b:v|-maxrate|-bufsize) ([\d.]+)(k?)\b", scaled, text)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)


class Programs:
    """Private copies of the program (each its own profiles and log.txt), one per worker."""

    def __init__(self, cli, root, count, factor=None):
        self.free = []
        self.lock = threading.Lock()
        for i in range(count):
            d = os.path.join(root, "p%d" % i)
            os.makedirs(d)
            shutil.copy2(cli, d)
            shutil.copytree(os.path.join(os.path.dirname(cli), "app"), os.path.join(d, "app"))
            if factor:
                scale_rates(os.path.join(d, "app"), factor)
            self.free.append(os.path.join(d, os.path.basename(cli)))

    def take(self):
        with self.lock:
            return self.free.pop()

    def give(self, p):
        with self.lock:
            self.free.append(p)


def convert(programs, job, out_root):
    cli = programs.take()
    try:
        # Each copy's own data folder, so each has its own log.txt.
        data = os.path.join(os.path.dirname(cli), "data")
        log = os.path.join(data, "Morvane", "Morvane", "log.txt")
        before = os.path.getsize(log) if os.path.exists(log) else 0
        out = os.path.join(out_root, job["key"])
        os.makedirs(out, exist_ok=True)
        t0 = time.monotonic()
        try:
            r = subprocess.run([cli, "-t", str(job["type"]), "-p", str(job["profile"]), "-o", out, job["src"]],
                               stdin=subprocess.DEVNULL, capture_output=True, text=True, errors="replace",
                               timeout=TIMEOUT, env=dict(os.environ, XDG_DATA_HOME=data))
            rc = r.returncode
        except subprocess.TimeoutExpired:
            rc = "timeout"
        job["seconds"] = time.monotonic() - t0
        job["rc"] = rc
        logged = ""
        if os.path.exists(log):
            with open(log, encoding="utf-8", errors="replace") as f:
                f.seek(before)
                logged = f.read()
        job["retries"] = logged.count("RETRY:")
        job["failed"] = re.findall(r"reason\s+=\s+(.*)", logged) if "FAILED:" in logged else []
        files = [os.path.join(out, n) for n in os.listdir(out)]
        job["out"] = files[0] if len(files) == 1 else None
    finally:
        programs.give(cli)
    return job


def judge(job):
    j = {"moov": False, "level": None, "fit": None, "bad": [], "avg": 0, "peak": 0, "rate": None,
         "esds_ok": True, "esds": [], "video": False}
    if not job["out"]:
        return j
    f = pb.read_file(job["out"])
    j["moov"] = "moov" in f["order"] and ("mdat" not in f["order"] or
                                         f["order"].index("moov") < f["order"].index("mdat"))
    j["created"] = bool(f["created"])
    for t in f["tracks"]:
        fig = pb.figures(t)
        if "esds" in t:
            e = t["esds"]
            j["esds"].append("%s %d/%d/%d" % (t["format"], e["buffer"], e["max"] // 1000, e["avg"] // 1000))
            # the declared maximum covers the real one-second peak; a buffer is declared
            j["esds_ok"] &= e["max"] >= fig["peak"] and e["buffer"] > 0
        if t.get("handler") != "vide":
            continue
        j["video"] = True
        lim, bad, fig = pb.fit(t)
        j["level"] = lim["name"] if lim else "none"
        j["fit"] = not bad
        j["bad"] = bad
        j["avg"], j["peak"] = fig["avg"], fig["peak"]
        j["rate"] = lim["rate"] if lim else None
    return j


def psnr(out, src, first_pass):
    """Average PSNR of out's pictures against the source through the profile's own filters."""
    m = re.search(r'-vf "([^"]+)"', first_pass)
    if not m or not out:
        return None
    r = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-i", out, "-i", src, "-lavfi",
                        "[1:v]%s[ref];[0:v][ref]psnr" % m.group(1), "-f", "null", "-"],
                       capture_output=True, text=True, errors="replace", timeout=TIMEOUT)
    found = re.search(r"PSNR .*average:([\d.]+|inf)", r.stderr)
    return float(found.group(1)) if found and found.group(1) != "inf" else None


def run_all(jobs, programs, out_root, workers):
    with ThreadPoolExecutor(workers) as pool:
        done = list(pool.map(lambda job: convert(programs, job, out_root), jobs))
    for job in done:
        job["judged"] = judge(job)
    return done


def table(done, profiles):
    print("\n%-6s %-58s %5s %6s %-24s %6s %13s %17s %6s %8s" % (
        "type/p", "title", "files", "moov1", "level signalled", "fit", "avg max/rate",
        "peak max/rate (n>)", "esds", "retries"))
    totals = {"out": 0, "moov": 0, "fit": 0, "video": 0, "retry": 0, "retry_s": 0.0, "all_s": 0.0, "esds": 0}
    for t in sorted(profiles):
        for n, title, _, default in profiles[t]:
            rows = [j for j in done if j["type"] == t and j["profile"] == n]
            if not rows:
                continue
            js = [j["judged"] for j in rows]
            outs = [j for j in js if j is not None and (j["moov"] or j["video"] or j["esds"])]
            made = sum(1 for j in rows if j["out"])
            video = [j for j in js if j["video"]]
            levels = sorted({j["level"] for j in video})
            rate = max((j["rate"] or 0) for j in video) if video else 0
            retries = sum(j["retries"] for j in rows)
            retry_s = sum(j["seconds"] for j in rows if j["retries"])
            totals["out"] += made
            totals["moov"] += sum(1 for j in js if j["moov"])
            totals["video"] += len(video)
            totals["fit"] += sum(1 for j in video if j["fit"])
            totals["retry"] += retries
            totals["retry_s"] += retry_s
            totals["all_s"] += sum(j["seconds"] for j in rows)
            totals["esds"] += sum(1 for j in js if j["esds"] and not j["esds_ok"])
            over = sum(1 for j in video if j["rate"] and j["peak"] > j["rate"])
            print("%d/%-4d %-58s %2d/%-2d %3d/%-2d %-24s %3d/%-2d %6.1f/%-6.0f %8.1f/%-4.0f (%2d) %6s %3d %4.1fs" % (
                t, n, (("*" if default else " ") + title)[:58], made, len(rows),
                sum(1 for j in js if j["moov"]), made, ", ".join(levels)[:24],
                sum(1 for j in video if j["fit"]), len(video),
                max((j["avg"] for j in video), default=0) / 1000, rate / 1000,
                max((j["peak"] for j in video), default=0) / 1000, rate / 1000, over,
                "ok" if all(j["esds_ok"] for j in js if j["esds"]) else "LOW",
                retries, retry_s))
    print("\n* default profile. moov1: index before media data. fit: video fits the level it signals"
          " (size, picture rate, average, decoder buffer, largest H.263 picture).\n"
          "peak: most bits in any one second; (n>): outputs whose peak is above the level's rate."
          "\nesds ok: every esds declares a buffer and a maximum rate at least the real one-second peak.")
    print("\nOutputs %d, index first %d, video outputs %d, fitting their level %d, esds too low %d." % (
        totals["out"], totals["moov"], totals["video"], totals["fit"], totals["esds"]))
    print("Second encodes: %d; the jobs that needed one took %.1f s of %.1f s in all (about half of"
          " theirs is the second encode)." % (totals["retry"], totals["retry_s"], totals["all_s"]))
    failed = [j for j in done if j["rc"] != 0]
    for j in failed[:20]:
        print("  FAILED t%d p%d %s: %s" % (j["type"], j["profile"], os.path.basename(j["src"]),
                                          "; ".join(j["failed"])[:200] or "exit %s" % j["rc"]))
    for j in done:
        if j["judged"]["video"] and not j["judged"]["fit"]:
            print("  NOT FIT t%d p%d %s: %s" % (j["type"], j["profile"], os.path.basename(j["src"]),
                                               ", ".join(j["judged"]["bad"])))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--media", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--quick", action="store_true", help="default profiles only")
    ap.add_argument("--others", action="store_true", help="the profiles that are not defaults")
    ap.add_argument("--every", type=int, default=1, help="every k-th file only")
    ap.add_argument("--stretch", type=float, default=0.0)
    args = ap.parse_args()

    app = os.path.join(os.path.dirname(args.cli), "app")
    profiles = read_profiles(app)
    sources = sorted(os.path.join(args.media, n) for n in os.listdir(args.media))[::args.every]
    jobs = []
    for t in sorted(profiles):
        for n, _, _, default in profiles[t]:
            if (args.quick and not default) or (args.others and default):
                continue
            for s in sources:
                jobs.append({"type": t, "profile": n, "src": s,
                             "key": "t%d_p%d_%s" % (t, n, os.path.basename(s).replace(".", "_"))})
    print("Converting %d files x %d profiles = %d jobs, %d at a time ..." % (
        len(sources), len({(j["type"], j["profile"]) for j in jobs}), len(jobs), args.jobs))
    t0 = time.monotonic()
    programs = Programs(args.cli, os.path.join(args.work, "prog"), args.jobs)
    done = run_all(jobs, programs, os.path.join(args.work, "out"), args.jobs)
    print("Done in %.0f s." % (time.monotonic() - t0))
    table(done, profiles)

    if args.stretch:
        print("\nStretch: default profiles with every video rate option x %.2f" % args.stretch)
        defaults = [dict(j) for j in jobs if any(d for n, _, _, d in profiles[j["type"]] if n == j["profile"])]
        stretched = Programs(args.cli, os.path.join(args.work, "prog_s"), args.jobs, args.stretch)
        again = run_all([dict(j, judged=None) for j in defaults], stretched,
                        os.path.join(args.work, "out_s"), args.jobs)
        base = {j["key"]: j for j in done}
        first_pass = {(t, n): fp for t in profiles for n, _, fp, _ in profiles[t]}
        print("%-6s %5s %21s %21s %19s" % ("type/p", "files", "peaks over rate", "peak max kbit/s",
                                           "PSNR dB (mean)"))
        for t in sorted(profiles):
            rows = [j for j in again if j["type"] == t]
            if not rows:
                continue
            n = rows[0]["profile"]
            pairs = [(base[j["key"]], j) for j in rows if j["judged"]["video"] and base[j["key"]]["judged"]["video"]]
            over = lambda j: j["judged"]["rate"] and j["judged"]["peak"] > j["judged"]["rate"]
            q0 = [psnr(a["out"], a["src"], first_pass[(t, n)]) for a, _ in pairs]
            q1 = [psnr(b["out"], b["src"], first_pass[(t, n)]) for _, b in pairs]
            ok = [(x, y) for x, y in zip(q0, q1) if x is not None and y is not None]
            print("%d/%-4d %5d %10d -> %-8d %10.1f -> %-8.1f %8.2f -> %-8.2f" % (
                t, n, len(pairs), sum(1 for a, _ in pairs if over(a)), sum(1 for _, b in pairs if over(b)),
                max((a["judged"]["peak"] for a, _ in pairs), default=0) / 1000,
                max((b["judged"]["peak"] for _, b in pairs), default=0) / 1000,
                sum(x for x, _ in ok) / max(len(ok), 1), sum(y for _, y in ok) / max(len(ok), 1)))
            fits = sum(1 for _, b in pairs if b["judged"]["fit"])
            print("        stretched outputs fitting their level: %d/%d, second encodes %d" % (
                fits, len(pairs), sum(b["retries"] for _, b in pairs)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
