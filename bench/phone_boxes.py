# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a 3GP/3G2 file the way a phone does: the box tree, the sample tables and the stream
headers, with no FFmpeg. Used by phone_conformance.py. Standard library only."""
import struct

CONTAINERS = {b"moov", b"trak", b"mdia", b"minf", b"stbl", b"udta", b"edts", b"dinf"}
MAX_DEPTH = 16

# H.263 profile 0 levels: frame box, fastest picture rate (by frame size), Rmax, BPPmaxKb.
H263_LEVELS = {
    10: (176, 144, 30000 / 2002, 64000),
    45: (176, 144, 30000 / 2002, 128000),
    20: (352, 288, None, 128000),  # CIF at 15 fps, QCIF and smaller at 30
    30: (352, 288, 30000 / 1001, 384000),
    40: (352, 288, 30000 / 1001, 2048000),
}
# MPEG-4 Visual Simple Profile: profile_and_level_indication -> name, macroblocks per picture,
# macroblocks per second, maximum rate, VBV buffer (bits).
MPEG4_LEVELS = {
    0x08: ("SP L0", 99, 1485, 64000, 10 * 16384),
    0x09: ("SP L0b", 99, 1485, 128000, 20 * 16384),
    0x01: ("SP L1", 99, 1485, 64000, 10 * 16384),
    0x02: ("SP L2", 396, 5940, 128000, 40 * 16384),
    0x03: ("SP L3", 396, 11880, 384000, 40 * 16384),
}
# Picture intervals this much shorter than the level's still count (15 fps against 30000/2002).
INTERVAL_SLACK = 0.999


def be(data, at, n):
    return int.from_bytes(data[at:at + n], "big")


def boxes(data, start, end):
    """(type, body start, end) of the boxes in data[start:end]; stops at a bad header."""
    at = start
    while at + 8 <= end:
        size, kind = be(data, at, 4), data[at + 4:at + 8]
        body = at + 8
        if size == 1:
            if at + 16 > end:
                return
            size, body = be(data, at + 8, 8), at + 16
        elif size == 0:
            size = end - at
        if size < body - at or at + size > end:
            return
        yield kind, body, at + size
        at += size


def descriptors(data, at, end):
    """(tag, body start, end) of MPEG-4 descriptors."""
    while at + 2 <= end:
        tag, at, length = data[at], at + 1, 0
        for _ in range(4):
            if at >= end:
                return
            b = data[at]
            at += 1
            length = length << 7 | (b & 0x7F)
            if not b & 0x80:
                break
        if at + length > end:
            return
        yield tag, at, at + length
        at += length


def parse_esds(data, body, end, track):
    # full box: version and flags, then the ES descriptor
    for tag, b, e in descriptors(data, body + 4, end):
        if tag != 3 or b + 3 > e:
            continue
        flags = data[b + 2]
        at = b + 3 + (2 if flags & 0x80 else 0)
        if flags & 0x40:
            at += 1 + data[at]
        at += 2 if flags & 0x20 else 0
        for tag2, b2, e2 in descriptors(data, at, e):
            if tag2 != 4 or b2 + 13 > e2:
                continue
            track["esds"] = {"buffer": be(data, b2 + 2, 3), "max": be(data, b2 + 5, 4),
                             "avg": be(data, b2 + 9, 4)}
            for tag3, b3, e3 in descriptors(data, b2 + 13, e2):
                if tag3 == 5:
                    info = data[b3:e3]
                    vos = info.find(b"\x00\x00\x01\xb0")
                    if vos >= 0 and vos + 4 < len(info):
                        track["mpeg4_level"] = info[vos + 4]


def parse_entry(data, kind, body, end, track):
    track["format"] = kind.decode("latin-1")
    visual = kind in (b"s263", b"mp4v", b"avc1", b"h263")
    if visual and body + 28 <= end:
        track["width"], track["height"] = be(data, body + 24, 2), be(data, body + 26, 2)
    children = body + (78 if visual else 28)
    for ck, cb, ce in boxes(data, children, end):
        if ck == b"d263" and cb + 7 <= ce:
            track["h263_level"] = data[cb + 5]
        elif ck == b"esds":
            parse_esds(data, cb, ce, track)
        elif ck == b"btrt" and cb + 12 <= ce:
            track["btrt"] = {"buffer": be(data, cb, 4), "max": be(data, cb + 4, 4),
                             "avg": be(data, cb + 8, 4)}


def walk(data, start, end, track, tracks, depth):
    if depth > MAX_DEPTH:
        raise ValueError("boxes nested too deep")
    for kind, body, e in boxes(data, start, end):
        if kind == b"trak":
            t = {"sizes": [], "deltas": []}
            tracks.append(t)
            walk(data, body, e, t, tracks, depth + 1)
        elif kind in CONTAINERS:
            walk(data, body, e, track, tracks, depth + 1)
        elif track is None:
            if kind == b"mvhd" and body + 12 <= e:
                version = data[body]
                created = be(data, body + 4, 8) if version == 1 else be(data, body + 4, 4)
                tracks.append({"mvhd_created": created})
            continue
        elif kind == b"mdhd":
            track["timescale"] = be(data, body + (20 if data[body] == 1 else 12), 4)
        elif kind == b"hdlr":
            track["handler"] = data[body + 8:body + 12].decode("latin-1")
        elif kind == b"stsd":
            for ek, eb, ee in boxes(data, body + 8, e):
                parse_entry(data, ek, eb, ee, track)
                break
        elif kind == b"stts":
            n = be(data, body + 4, 4)
            for i in range(n):
                at = body + 8 + 8 * i
                if at + 8 > e:
                    break
                track["deltas"] += [be(data, at + 4, 4)] * be(data, at, 4)
        elif kind == b"stsz":
            fixed, n = be(data, body + 4, 4), be(data, body + 8, 4)
            if fixed:
                track["sizes"] = [fixed] * n
            else:
                track["sizes"] = [be(data, body + 12 + 4 * i, 4) for i in range(n)
                                  if body + 16 + 4 * i <= e]


def read_file(path):
    """{'order': top-level box types, 'created': mvhd time, 'tracks': [...], 'udta': [...]}"""
    with open(path, "rb") as f:
        data = f.read()
    order, tracks, udta = [], [], []
    for kind, body, end in boxes(data, 0, len(data)):
        order.append(kind.decode("latin-1"))
        if kind == b"moov":
            walk(data, body, end, None, tracks, 0)
            for k, b, e in boxes(data, body, end):
                if k == b"udta":
                    udta = [ck.decode("latin-1") for ck, _, _ in boxes(data, b, e)]
    created = next((t["mvhd_created"] for t in tracks if "mvhd_created" in t), None)
    tracks = [t for t in tracks if "mvhd_created" not in t]
    return {"order": order, "created": created, "tracks": tracks, "udta": udta}


def figures(track):
    """Rates of a track from its sample table: average, 1-second peak, largest sample."""
    scale = track.get("timescale") or 1
    sizes, deltas = track["sizes"], track["deltas"]
    n = min(len(sizes), len(deltas))
    times, t = [], 0
    for d in deltas[:n]:
        times.append(t / scale)
        t += d
    duration = t / scale
    total = 8 * sum(sizes[:n])
    peak, j, window = 0, 0, 0
    for i in range(n):
        while j < n and times[j] < times[i] + 1.0:
            window += 8 * sizes[j]
            j += 1
        peak = max(peak, window)
        window -= 8 * sizes[i]
    return {"n": n, "times": times, "duration": duration, "bits": total,
            "avg": total / max(duration, 1.0), "peak": peak,
            "largest": 8 * max(sizes[:n], default=0),
            "min_delta": min((b - a for a, b in zip(times, times[1:])), default=0)}


def bucket(sizes, times, rate):
    """The fullest a leaky bucket draining at rate gets over the samples."""
    full, most, last = 0.0, 0.0, 0.0
    for s, t in zip(sizes, times):
        full = max(0.0, full - rate * (t - last)) + 8 * s
        most, last = max(most, full), t
    return most


def limits(track):
    """(name, max width, max height, MB/picture, MB/s or max fps, rate, buffer, picture bits)"""
    if track.get("format") == "s263" and track.get("h263_level") in H263_LEVELS:
        lv = track["h263_level"]
        w, h, fps, rate = H263_LEVELS[lv]
        small = track.get("width", 0) <= 176 and track.get("height", 0) <= 144
        if fps is None:
            fps = 30000 / 1001 if small else 30000 / 2002
        bpp = (64 if small else 256) * 1024
        return {"name": "H.263 L%d" % lv, "w": w, "h": h, "fps": fps, "rate": rate,
                "buffer": 4 * rate / 29.97 + bpp, "picture": bpp}
    if track.get("format") == "mp4v" and track.get("mpeg4_level") in MPEG4_LEVELS:
        name, mbs, mbps, rate, vbv = MPEG4_LEVELS[track["mpeg4_level"]]
        return {"name": "MPEG-4 " + name, "mbs": mbs, "mbps": mbps, "rate": rate,
                "buffer": vbv, "picture": None}
    return None


def fit(track):
    """(limits, list of reasons it does not fit, figures)"""
    lim = limits(track)
    fig = figures(track)
    if lim is None:
        return None, ["no known level signalled"], fig
    bad = []
    w, h = track.get("width", 0), track.get("height", 0)
    if "w" in lim and (w > lim["w"] or h > lim["h"]):
        bad.append("%dx%d too large" % (w, h))
    if "mbs" in lim:
        mbs = ((w + 15) // 16) * ((h + 15) // 16)
        if mbs > lim["mbs"]:
            bad.append("%d macroblocks" % mbs)
        if fig["min_delta"] > 0 and mbs / fig["min_delta"] > lim["mbps"] / INTERVAL_SLACK:
            bad.append("%.0f macroblocks/s" % (mbs / fig["min_delta"]))
    if "fps" in lim and fig["min_delta"] > 0 and 1 / fig["min_delta"] > lim["fps"] / INTERVAL_SLACK:
        bad.append("%.2f fps" % (1 / fig["min_delta"]))
    if fig["avg"] > lim["rate"]:
        bad.append("average %.1f kbit/s" % (fig["avg"] / 1000))
    need = bucket(track["sizes"], fig["times"], lim["rate"])
    fig["bucket"] = need
    if need > lim["buffer"]:
        bad.append("buffer %.1f kbit" % (need / 1000))
    if lim["picture"] and fig["largest"] > lim["picture"]:
        bad.append("picture of %d bits" % fig["largest"])
    return lim, bad, fig
