#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Helper of real_media_matrix.sh: measures the test files, runs morvane-cli on every
file x output type x profile, judges each output with ffprobe and a decode, prints the report.
Standard library only."""
import argparse
import configparser
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from fractions import Fraction

CLI_WAIT = 600          # seconds to wait for a CLI that a rebuild took away
JOB_TIMEOUT = 600       # seconds for one conversion
DUR_TOL = 0.10          # duration tolerance, seconds
DUR_TOL_AMR_SHORT = 0.15  # sub-second sounds into AMR (20 ms frames, encoder delay)
RATE_TOL = 0.10         # video bit rate tolerance, for sources of RATE_MIN_SRC seconds and more
RATE_MIN_SRC = 5.0
SHAPE_SLACK = 1.02      # aspect ratios this close count as equal (no bars expected)

VCODEC = {"H.263": "h263", "MPEG-4": "mpeg4", "H.264": "h264"}
ACODEC = {"AMR": "amr_nb", "AAC": "aac", "MP3": "mp3"}
CLI_ACODEC = {"libopencore_amrnb": "amr_nb", "amr_nb": "amr_nb", "aac": "aac", "libfdk_aac": "aac",
              "libmp3lame": "mp3"}
CLI_VCODEC = {"h263": "h263", "h263p": "h263p", "mpeg4": "mpeg4", "libxvid": "mpeg4", "libx264": "h264"}


def run(cmd, timeout=JOB_TIMEOUT):
    try:
        return subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              errors="replace", timeout=timeout)
    except subprocess.TimeoutExpired as e:
        return subprocess.CompletedProcess(cmd, "timeout", e.stdout or "", e.stderr or "")


def fnum(v, default=None):
    try:
        f = float(v)
        return f if f == f else default
    except (TypeError, ValueError):
        return default


def frac(v):
    """'30000/1001' or '32:27' -> Fraction; None for 0, N/A, 0/0."""
    if not v or v in ("N/A", "0/0", "0:1", "0/1"):
        return None
    try:
        f = Fraction(v.replace(":", "/"))
        return f if f > 0 else None
    except (ValueError, ZeroDivisionError):
        return None


def probe(path):
    r = run(["ffprobe", "-v", "error", "-show_format", "-show_streams", "-of", "json", path], timeout=120)
    if r.returncode != 0:
        return None
    try:
        return json.loads(r.stdout)
    except ValueError:
        return None


def rotation(stream):
    for sd in stream.get("side_data_list", []) or []:
        if "rotation" in sd:
            return int(round(fnum(sd["rotation"], 0))) % 360
    rot = (stream.get("tags") or {}).get("rotate")
    return int(round(fnum(rot, 0))) % 360 if rot else 0


def real_video(streams):
    return [s for s in streams if s.get("codec_type") == "video"
            and not (s.get("disposition") or {}).get("attached_pic")]


def audio(streams):
    return [s for s in streams if s.get("codec_type") == "audio"]


def display_aspect(stream):
    """Displayed width/height of a video stream: frame size, pixel shape and rotation."""
    w, h = int(stream.get("width") or 0), int(stream.get("height") or 0)
    if not w or not h:
        return None
    sar = frac(stream.get("sample_aspect_ratio")) or Fraction(1)
    dar = Fraction(w) * sar / h
    if rotation(stream) in (90, 270):
        dar = 1 / dar
    return dar


# ---------------------------------------------------------------------------------------
# Sources
# ---------------------------------------------------------------------------------------
def measure_source(path):
    """Header facts and the truth from a full decode of every picture and sound stream."""
    info = probe(path) or {"streams": [], "format": {}}
    streams = info["streams"]
    vids, auds = real_video(streams), audio(streams)
    wanted = {int(s["index"]): s for s in vids + auds}
    r = run(["ffprobe", "-v", "error", "-show_entries",
             "frame=stream_index,best_effort_timestamp_time,pkt_duration_time,nb_samples",
             "-of", "json", path], timeout=300)
    frames = []
    try:
        frames = json.loads(r.stdout).get("frames", [])
    except ValueError:
        pass
    per = {}
    for fr in frames:
        i = fr.get("stream_index")
        if i not in wanted:
            continue
        st = wanted[i]
        ts = fnum(fr.get("best_effort_timestamp_time"))
        d = fnum(fr.get("pkt_duration_time"))
        d_sum = d
        if st["codec_type"] == "audio":
            # the packet duration honours the container's trimming of the last frame; the sample
            # count is exact where the container's clock is coarse (ASF: 1 ms)
            n = fnum(fr.get("nb_samples"), 0)
            sr = fnum(fr.get("sample_rate"), 0) or fnum(st.get("sample_rate"), 0)
            if n and sr:
                d_sum = n / sr
                if d is None or d <= 0:
                    d = d_sum
        elif d is None or d <= 0:
            rate = frac(st.get("avg_frame_rate")) or frac(st.get("r_frame_rate"))
            d = float(1 / rate) if rate else 0.0
            d_sum = d
        p = per.setdefault(i, {"start": None, "end": None, "frames": 0, "sum": 0.0, "stamps": set(),
                               "unstamped": 0})
        p["frames"] += 1
        p["sum"] += d_sum or 0      # a frame without a time stamp still plays
        if ts is None:
            p["unstamped"] += 1
            continue
        p["stamps"].add(ts)
        p["start"] = ts if p["start"] is None else min(p["start"], ts)
        p["end"] = ts + (d or 0) if p["end"] is None else max(p["end"], ts + (d or 0))
    per = {i: p for i, p in per.items() if p["start"] is not None}
    for i, p in per.items():
        if wanted[i]["codec_type"] == "audio" and (p["unstamped"] or len(p["stamps"]) < 0.9 * p["frames"]):
            # sound frames without time stamps, or all stamped alike (some muxers do): count the samples
            p["end"] = max(p["end"], p["start"] + p["sum"])
    has_v = any(per.get(int(s["index"]), {}).get("frames") for s in vids)
    has_a = any(per.get(int(s["index"]), {}).get("frames") for s in auds)
    true = (max(p["end"] for p in per.values()) - min(p["start"] for p in per.values())) if per else None
    dar = None
    vinfo = ""
    for s in vids:
        if per.get(int(s["index"]), {}).get("frames"):
            dar = display_aspect(s)
            rot = rotation(s)
            vinfo = "%s %sx%s%s" % (s.get("codec_name"), s.get("width"), s.get("height"),
                                    " rot%d" % rot if rot else "")
            break
    ainfo = ""
    for s in auds:
        if per.get(int(s["index"]), {}).get("frames"):
            ainfo = "%s %sHz %sch" % (s.get("codec_name"), s.get("sample_rate"), s.get("channels"))
            break
    extra = [s.get("codec_type") for s in streams if s not in vids and s not in auds]
    return {"path": path, "name": os.path.basename(path),
            "header": fnum(info["format"].get("duration")), "true": true,
            "video": has_v, "audio": has_a, "dar": dar, "vinfo": vinfo, "ainfo": ainfo,
            "extra": extra,
            "vframes": sum(per.get(int(s["index"]), {}).get("frames", 0) for s in vids)}


# ---------------------------------------------------------------------------------------
# Profiles
# ---------------------------------------------------------------------------------------
def list_profiles(cli):
    r = run([cli, "--list-profiles"], timeout=60)
    if r.returncode != 0:
        return None, r.stdout + r.stderr
    types, cur = {}, None
    for line in r.stdout.splitlines():
        m = re.match(r"^(\d+):\s*(.*)$", line)
        if m:
            cur = int(m.group(1))
            types[cur] = {"label": m.group(2).strip(), "profiles": []}
            continue
        m = re.match(r"^\s*(\*)?\s*(\d+)\.\s+(.*)$", line)
        if m and cur is not None:
            types[cur]["profiles"].append({"n": int(m.group(2)), "default": bool(m.group(1)),
                                           "title": m.group(3).strip()})
    return types, r.stdout


def read_ini(path):
    cp = configparser.RawConfigParser(strict=False, interpolation=None, comment_prefixes=(";", "#"),
                                      inline_comment_prefixes=None)
    cp.optionxform = str
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            cp.read_file(f)
    except (OSError, configparser.Error):
        return []
    out = []
    for sec in cp.sections():
        if sec.lower() == "info":
            continue
        items = dict(cp.items(sec))
        cmd = next((v for k, v in items.items() if "-c:v" in v or "-vcodec" in v), "")
        out.append({"section": sec, "title": items.get("Title", ""), "command": cmd})
    return out


def from_title(title):
    e = {}
    m = re.search(r"\b(H\.263|MPEG-4|H\.264)\b", title)
    if m:
        e["vcodec"] = VCODEC[m.group(1)]
    m = re.search(r"(\d+)\s*x\s*(\d+)", title)
    if m:
        e["w"], e["h"] = int(m.group(1)), int(m.group(2))
    m = re.search(r"([\d.]+)\s*fps", title)
    if m:
        e["fps"] = float(m.group(1))
    rest = title[m.end():] if m else title
    m = re.search(r"([\d.]+)\s*kbps", rest)
    if m:
        e["vkbps"] = float(m.group(1))
    m = re.search(r"\b(AMR|AAC|MP3)\b", title)
    if m:
        e["acodec"] = ACODEC[m.group(1)]
        tail = title[m.end():]
        k = re.search(r"([\d.]+)\s*kHz", tail)
        if k:
            e["arate"] = int(round(float(k.group(1)) * 1000))
        elif m.group(1) == "AMR":
            e["arate"] = 8000          # AMR-NB is 8 kHz by definition
        if re.search(r"\bmono\b", tail, re.I):
            e["ach"] = 1
        elif re.search(r"\bstereo\b", tail, re.I):
            e["ach"] = 2
    return e


def from_command(cmd):
    e = {}
    try:
        a = shlex.split(cmd)
    except ValueError:
        a = cmd.split()

    def opt(*names):
        for i, x in enumerate(a[:-1]):
            if x in names:
                return a[i + 1]
        return None
    v = opt("-c:v", "-vcodec")
    if v:
        e["vcodec"] = CLI_VCODEC.get(v, v)
    v = opt("-c:a", "-acodec")
    if v:
        e["acodec"] = CLI_ACODEC.get(v, v)
    v = opt("-b:v")
    if v:
        m = re.match(r"([\d.]+)([kKmM]?)", v)
        if m:
            e["vkbps"] = float(m.group(1)) * {"": 0.001, "k": 1, "K": 1, "m": 1000, "M": 1000}[m.group(2)]
    m = re.search(r"scale=(?:w=)?(\d+):(?:h=)?(\d+)", cmd)
    s = opt("-s")
    if m:
        e["w"], e["h"] = int(m.group(1)), int(m.group(2))
    elif s and re.match(r"^\d+x\d+$", s):
        e["w"], e["h"] = map(int, s.split("x"))
    m = re.search(r"pad=(\d+):(\d+)", cmd)
    if m:
        e["w"], e["h"] = int(m.group(1)), int(m.group(2))
    v = opt("-r")
    if v and frac(v):
        e["fps"] = float(frac(v))
    v = opt("-ar")
    if v and v.isdigit():
        e["arate"] = int(v)
    v = opt("-ac")
    if v and v.isdigit():
        e["ach"] = int(v)
    return e


INI_GUESS = {0: "3GP_AMR_Profile.ini", 1: "3GP_AAC_Profile.ini", 2: "3GP2_AAC_Profile.ini"}


def load_profiles(cli, quick):
    types, raw = list_profiles(cli)
    if not types:
        return None, ["morvane-cli --list-profiles failed:\n" + raw]
    app = os.path.join(os.path.dirname(cli), "app")
    inis = {}
    for f in sorted(os.listdir(app)) if os.path.isdir(app) else []:
        if f.lower().endswith(".ini"):
            inis[f] = read_ini(os.path.join(app, f))
    notes = []
    chosen = []
    for t in sorted(types):
        profs = types[t]["profiles"]
        titles = [p["title"] for p in profs]
        # the INI of this type: the one whose titles match the list best (the file name breaks ties)
        best, score = None, -1
        for f, secs in inis.items():
            sc = sum(1 for s in secs if s["title"] in titles) * 2 + (1 if f == INI_GUESS.get(t) else 0)
            if sc > score:
                best, score = f, sc
        secs = inis.get(best, [])
        for p in profs:
            p["expect"] = from_title(p["title"])
            sec = next((s for s in secs if s["title"] == p["title"]), None)
            p["cmd_expect"] = from_command(sec["command"]) if sec else {}
            p["ini"] = "%s [%s]" % (best, sec["section"]) if sec else "(no INI section found)"
            for k, v in p["cmd_expect"].items():
                tv = p["expect"].get(k)
                if tv is None:
                    p["expect"][k] = v
                elif k == "vkbps" and abs(tv - v) > RATE_TOL * tv or \
                        k != "vkbps" and (abs(tv - v) > 1e-6 * max(1, abs(v)) if isinstance(v, (int, float))
                                          else tv != v):
                    notes.append("type %d profile %d (%s): the title says %s=%s but the command line has %s"
                                 % (t, p["n"], p["ini"], k, tv, v))
            if not sec:
                notes.append("type %d profile %d: no section of %s has the title %r"
                             % (t, p["n"], best, p["title"]))
        default = next((p for p in profs if p["default"]), None)
        if default is None and profs:
            notes.append("type %d: no profile is marked default" % t)
        pick = [default] if default else []
        if not quick and profs:
            largest = max(profs, key=lambda p: (p["expect"].get("w", 0) * p["expect"].get("h", 0),
                                                p["expect"].get("vkbps", 0), -p["n"]))
            if largest is not default:
                pick.append(largest)
        for p in pick:
            chosen.append((t, p))
    return (types, chosen), notes


# ---------------------------------------------------------------------------------------
# Conversion and judgement
# ---------------------------------------------------------------------------------------
cli_lock = threading.Lock()


def cli_ready(cli):
    return os.path.isfile(cli) and os.access(cli, os.X_OK)


def cli_stamp(cli):
    try:
        st = os.stat(cli)
        return (st.st_mtime_ns, st.st_size)
    except OSError:
        return None


def setup_stamp(cli):
    """What the judged expectations rest on: the program and its profile files."""
    app = os.path.join(os.path.dirname(cli), "app")
    stamps = [("morvane-cli", cli_stamp(cli))]
    if os.path.isdir(app):
        for f in sorted(os.listdir(app)):
            stamps.append((f, cli_stamp(os.path.join(app, f))))
    return stamps


def wait_for_cli(cli):
    t0 = time.time()
    with cli_lock:
        said = False
        while not cli_ready(cli):
            if time.time() - t0 > CLI_WAIT:
                return False
            if not said:
                print("  (%s is gone, a rebuild? waiting ...)" % cli, flush=True)
                said = True
            time.sleep(10)
        if said:
            time.sleep(5)   # let the rebuild finish writing
    return True


def active_area(path):
    """The non-black rectangle of the displayed picture over all frames (cropdetect)."""
    r = run(["ffmpeg", "-nostdin", "-hide_banner", "-v", "info", "-i", path, "-map", "0:v:0",
             "-vf", "cropdetect=limit=24:round=2:reset=0:skip=0", "-f", "null", "-"], timeout=300)
    m = re.findall(r"crop=(-?\d+):(-?\d+):(-?\d+):(-?\d+)", r.stderr)
    if not m:
        return None
    return tuple(int(x) for x in m[-1])


def convert(job, cli, out_root):
    src, t, prof = job["src"], job["type"], job["profile"]
    stem = re.sub(r"[^A-Za-z0-9_.-]", "_", os.path.splitext(src["name"])[0])
    outdir = os.path.join(out_root, "%02d_%s_t%d_p%d" % (job["i"], stem, t, prof["n"]))
    cmd = [cli, "-t", str(t), "-p", str(prof["n"]), "-o", outdir, src["path"]]
    job["cmd"] = cmd
    for attempt in range(3):
        if os.path.isdir(outdir):
            shutil.rmtree(outdir)
        os.makedirs(outdir)
        if not wait_for_cli(cli):
            job["rc"], job["log"] = "no CLI", "%s missing for %d s" % (cli, CLI_WAIT)
            break
        t0 = time.time()
        before = cli_stamp(cli)
        r = run(cmd)
        job["secs"] = time.time() - t0
        job["rc"], job["log"] = r.returncode, (r.stdout + r.stderr)
        # a rebuild that takes the program away (or swaps it) under a running job: run it again
        vanished = r.returncode in (126, 127) or not cli_ready(cli) or \
            "error while loading shared libraries" in job["log"] or \
            (r.returncode != 0 and cli_stamp(cli) != before)
        if not vanished:
            break
        job["retried"] = attempt + 1
    job["outdir"] = outdir
    job["files"] = sorted(os.listdir(outdir)) if os.path.isdir(outdir) else []
    judge(job)
    return job


def judge(job):
    src, t, prof = job["src"], job["type"], job["profile"]
    e = prof["expect"]
    fails = []                # (cause, detail)
    notes = []
    job["fails"], job["notes"] = fails, notes
    job["row"] = {"dur": "-", "video": "-", "audio": "-"}

    def fail(cause, detail):
        fails.append((cause, detail))

    if job["rc"] != 0:
        last = [l for l in job["log"].splitlines() if l.strip()][-1:] or [""]
        fail("exit code", "exit %s: %s" % (job["rc"], last[0][:150]))
    files = job["files"]
    want_ext = ".3g2" if t == 2 else ".3gp"
    if len(files) != 1:
        fail("output file count", "%d files: %s" % (len(files), ", ".join(files) or "none"))
    if not files:
        return
    main = next((f for f in files if f.lower().endswith(want_ext)), None) or \
        next((f for f in files if f.lower().endswith((".3gp", ".3g2"))), files[0])
    path = os.path.join(job["outdir"], main)
    job["output"] = path
    if not main.lower().endswith(want_ext):
        fail("file extension", "%s (want %s)" % (main, want_ext))
    info = probe(path)
    if info is None:
        fail("unreadable output", "ffprobe cannot open %s" % main)
        return
    fmt, streams = info.get("format", {}), info.get("streams", [])
    brand = (fmt.get("tags") or {}).get("major_brand", "")
    if not brand.startswith("3g2" if t == 2 else "3gp"):
        fail("brand", "major_brand %r, want %s*" % (brand, "3g2" if t == 2 else "3gp"))
    vids, auds = real_video(streams), audio(streams)
    v = vids[0] if vids else None
    a = auds[0] if auds else None

    # presence
    if src["video"] and not v:
        fail("video missing", "the source has pictures, the output has no video stream")
    if not src["video"] and v:
        fail("unexpected video", "the source has no pictures (%s), the output has %s video"
             % ("only an attached picture" if "video" in src["extra"] else "sound only", v.get("codec_name")))
    if src["audio"] and not a:
        fail("audio missing", "the source has sound, the output has no audio stream")
    if not src["audio"] and a:
        fail("unexpected audio", "the source has no sound, the output has %s" % a.get("codec_name"))

    # duration
    out_dur = fnum(fmt.get("duration"))
    tol = DUR_TOL
    if not src["video"] and src["true"] is not None and src["true"] < 1.0 and e.get("acodec") == "amr_nb" \
            and out_dur is not None and DUR_TOL < abs(out_dur - src["true"]) <= DUR_TOL_AMR_SHORT:
        # a sub-second sound in 20 ms AMR frames plus the encoder delay: allowed 0.15 s, and said
        tol = DUR_TOL_AMR_SHORT
        notes.append("duration off by %.3f s: passes only with the 0.15 s allowance for sub-second "
                     "sounds in AMR frames" % abs(out_dur - src["true"]))
    job["row"]["dur"] = "%s/%s" % ("%.3f" % src["true"] if src["true"] is not None else "?",
                                   "%.3f" % out_dur if out_dur is not None else "?")
    if out_dur is None or src["true"] is None or abs(out_dur - src["true"]) > tol:
        amr_short = not src["video"] and src["true"] is not None and src["true"] < 1.0 and \
            e.get("acodec") == "amr_nb"
        fail("duration", "output %s s, source %s s by full decode (header said %s), tolerance %.2f s%s"
             % (out_dur, "%.3f" % src["true"] if src["true"] is not None else "?",
                "%.3f" % src["header"] if src["header"] is not None else "nothing", tol,
                " (0.15 s for a sub-second sound in AMR)" if amr_short else ""))

    # video
    if v:
        w, h = int(v.get("width") or 0), int(v.get("height") or 0)
        rate = frac(v.get("avg_frame_rate")) or frac(v.get("r_frame_rate"))
        fps = float(rate) if rate else None
        kbps = fnum(v.get("bit_rate"))
        kbps = kbps / 1000 if kbps else None
        job["row"]["video"] = "%s %dx%d@%s %s" % (v.get("codec_name"), w, h,
                                                  "%.2f" % fps if fps else "?",
                                                  "%.0fk" % kbps if kbps else "?k")
        if e.get("vcodec") and v.get("codec_name") != e["vcodec"]:
            fail("video codec", "%s, want %s" % (v.get("codec_name"), e["vcodec"]))
        if "w" in e and (w, h) != (e["w"], e["h"]):
            fail("frame size", "%dx%d, want %dx%d" % (w, h, e["w"], e["h"]))
        if e.get("fps") and (fps is None or fps > e["fps"] * 1.01):
            fail("frame rate", "%s fps (avg %s, r %s), want at most %g"
                 % ("%.3f" % fps if fps else "?", v.get("avg_frame_rate"), v.get("r_frame_rate"), e["fps"]))
        if e.get("vkbps"):
            if src["true"] is not None and src["true"] >= RATE_MIN_SRC:
                if kbps is None or abs(kbps - e["vkbps"]) > RATE_TOL * e["vkbps"]:
                    fail("video bit rate", "%s kbps, want %g +-10%%"
                         % ("%.1f" % kbps if kbps else "?", e["vkbps"]))
            else:
                notes.append("bit rate not judged (source under %g s)" % RATE_MIN_SRC)
        # displayed shape
        if src["video"] and src["dar"]:
            sar = frac(v.get("sample_aspect_ratio")) or Fraction(1)
            fw, fh = Fraction(w), Fraction(h)
            if rotation(v) in (90, 270):
                fw, fh, sar = fh, fw, 1 / sar
            frame_dar = fw * sar / fh
            d = src["dar"]
            if d > frame_dar * Fraction(SHAPE_SLACK):
                exp_w, exp_h, kind = fw, fh * frame_dar / d, "letterbox (bars top and bottom)"
            elif d < frame_dar / Fraction(SHAPE_SLACK):
                exp_w, exp_h, kind = fw * d / frame_dar, fh, "pillarbox (bars left and right)"
            else:
                exp_w, exp_h, kind = fw, fh, "full frame"
            area = active_area(path)
            if area is None:
                fail("picture shape", "cropdetect found no picture to measure")
            else:
                cw, ch = area[0], area[1]
                tw, th = max(4.0, 0.05 * float(fw)), max(4.0, 0.05 * float(fh))
                if abs(cw - float(exp_w)) > tw or abs(ch - float(exp_h)) > th:
                    got_dar = Fraction(cw) * sar / ch if cw > 0 and ch > 0 else None
                    fail("picture shape", "picture %dx%d in the %dx%d frame (shown %s), want %.0fx%.0f = %s "
                         "for a %.3f source in a %.3f frame"
                         % (cw, ch, int(fw), int(fh), "%.3f" % float(got_dar) if got_dar else "?",
                            float(exp_w), float(exp_h), kind, float(d), float(frame_dar)))

    # audio
    if a:
        sr, ch = int(a.get("sample_rate") or 0), int(a.get("channels") or 0)
        job["row"]["audio"] = "%s %d/%d" % (a.get("codec_name"), sr, ch)
        if e.get("acodec") and a.get("codec_name") != e["acodec"]:
            fail("audio codec", "%s, want %s" % (a.get("codec_name"), e["acodec"]))
        if e.get("arate") and sr != e["arate"]:
            fail("sample rate", "%d Hz, want %d" % (sr, e["arate"]))
        if e.get("ach") and ch != e["ach"]:
            fail("channels", "%d, want %d" % (ch, e["ach"]))

    # clean decode
    r = run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"], timeout=300)
    msg = (r.stdout + r.stderr).strip()
    if msg or r.returncode != 0:
        first = msg.splitlines()[0] if msg else "exit %s" % r.returncode
        fail("decode errors", "%d lines, first: %s" % (len(msg.splitlines()), first[:150]))


# ---------------------------------------------------------------------------------------
def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--media", required=True)
    ap.add_argument("--what", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--quick", action="store_true")
    args = ap.parse_args()
    jobs_n = max(1, min(2, args.jobs))

    what = {}
    with open(args.what, encoding="utf-8") as f:
        for line in f:
            if "\t" in line:
                k, v = line.rstrip("\n").split("\t", 1)
                what[k] = v
    names = [n for n in what if os.path.isfile(os.path.join(args.media, n))]

    print("\nMeasuring %d files (full decode) ..." % len(names), flush=True)
    with ThreadPoolExecutor(jobs_n) as ex:
        sources = list(ex.map(lambda n: measure_source(os.path.join(args.media, n)), names))
    print("\n%-24s %8s %8s  %-24s %-22s %-6s %s" % ("FILE", "HEADER", "TRUE", "VIDEO", "AUDIO", "DAR", "EXERCISES"))
    for s in sources:
        print("%-24s %8s %8s  %-24s %-22s %-6s %s" % (
            s["name"], "%.3f" % s["header"] if s["header"] is not None else "none",
            "%.3f" % s["true"] if s["true"] is not None else "?",
            (s["vinfo"] + (" %df" % s["vframes"] if s["vframes"] < 10 else "")) if s["video"] else "-",
            s["ainfo"] if s["audio"] else "-", "%.3f" % float(s["dar"]) if s["dar"] else "-",
            what[s["name"]] + (" [+%s]" % ",".join(s["extra"]) if s["extra"] else "")))

    if not wait_for_cli(args.cli):
        print("%s is missing" % args.cli, file=sys.stderr)
        return 1
    loaded, notes = load_profiles(args.cli, args.quick)
    if loaded is None:
        print("\n".join(notes), file=sys.stderr)
        return 1
    types, chosen = loaded
    print("\nProfiles judged (expectations from the title, the rest from the command line):")
    for t, p in chosen:
        print("  type %d profile %d%s: %s  -> %s" % (t, p["n"], " (default)" if p["default"] else " (largest)",
                                                   p["title"], p["ini"]))
        print("      expect %s" % ", ".join("%s=%s" % kv for kv in sorted(p["expect"].items())))
    if notes:
        print("Profile remarks:")
        for n in notes:
            print("  ! " + n)

    stamp0 = setup_stamp(args.cli)
    jobs = []
    for i, s in enumerate(sources):
        for t, p in chosen:
            jobs.append({"i": i, "src": s, "type": t, "profile": p})
    print("\nConverting: %d files x %d profiles = %d conversions, %d at a time ..."
          % (len(sources), len(chosen), len(jobs), jobs_n), flush=True)
    t0 = time.time()
    done = [0]
    lock = threading.Lock()

    def one(job):
        convert(job, args.cli, args.out)
        with lock:
            done[0] += 1
            if done[0] % 20 == 0 or done[0] == len(jobs):
                print("  %d/%d (%.0f s)" % (done[0], len(jobs), time.time() - t0), flush=True)
        return job
    with ThreadPoolExecutor(jobs_n) as ex:
        list(ex.map(one, jobs))

    print("\n%-24s %2s %2s %4s %-15s %-26s %-16s %s" % ("FILE", "T", "P", "RC", "DUR SRC/OUT", "VIDEO", "AUDIO", "VERDICT"))
    passed = 0
    causes = {}
    for j in jobs:
        ok = not j["fails"]
        passed += ok
        verdict = "PASS" if ok else "; ".join("%s (%s)" % (c, d) for c, d in j["fails"])
        if j["notes"]:
            verdict += "  [" + "; ".join(j["notes"]) + "]"
        if j.get("retried"):
            verdict += "  [CLI run again %d time(s): it was gone]" % j["retried"]
        print("%-24s %2d %2d %4s %-15s %-26s %-16s %s" % (
            j["src"]["name"][:24], j["type"], j["profile"]["n"], j["rc"], j["row"]["dur"],
            j["row"]["video"], j["row"]["audio"], verdict))
        for c, d in j["fails"]:
            causes.setdefault(c, []).append((j, d))

    print("\n%d of %d conversions pass (%.0f s of converting and judging)."
          % (passed, len(jobs), time.time() - t0))
    stamp1 = setup_stamp(args.cli)
    changed = sorted(set(n for n, _ in stamp0 + stamp1) -
                     set(n for n, _ in set(stamp0) & set(stamp1)))
    retried = sum(1 for j in jobs if j.get("retried"))
    if changed or retried:
        print("Note: changed while this ran: %s%s. Earlier and later conversions may have met different "
              "builds or profiles; the expectations are the profiles read at the start."
              % (", ".join(changed) or "nothing at the end",
                 "; %d conversion(s) were run again because the program was gone" % retried if retried else ""))
    if causes:
        print("\nFailures by cause:")
        for c, items in sorted(causes.items(), key=lambda kv: -len(kv[1])):
            print("\n* %s: %d conversion(s)" % (c, len(items)))
            by_tp = {}
            for j, d in items:
                by_tp.setdefault("t%d/p%d" % (j["type"], j["profile"]["n"]), []).append(j["src"]["name"])
            for tp, ns in sorted(by_tp.items()):
                print("    %s: %s" % (tp, ", ".join(ns)))
            j, d = items[0]
            print("    e.g. %s" % " ".join(shlex.quote(x) for x in
                                           ["morvane-cli"] + j["cmd"][1:-2] + ["OUT", j["src"]["name"]]))
            print("         %s" % d)
    return 0


if __name__ == "__main__":
    sys.exit(main())
