#!/usr/bin/env python3
"""Draws Tollora's pictures, icon, cursor and beep from nothing but arithmetic.

Usage: draw.py OUTDIR TMPDIR
Writes ClockIcon.ico, HandCursor.cur (and icons/hand-cursor.png), beep.wav and icons/tollora-N.png into
OUTDIR, and the two backdrops as raw PGM/PPM into TMPDIR; make-resources.sh
turns those into JPEG with ImageMagick. Only the standard library is used and
every random number comes from a fixed seed, so the output is the same on
every run.
"""

import math
import os
import random
import struct
import sys
import zlib


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


# ---------------------------------------------------------------- noise

class ValueNoise:
    def __init__(self, seed):
        rnd = random.Random(seed)
        self.perm = list(range(256))
        rnd.shuffle(self.perm)
        self.perm += self.perm
        self.vals = [rnd.random() * 2 - 1 for _ in range(256)]

    def at(self, x, y):
        xi, yi = math.floor(x), math.floor(y)
        fx, fy = x - xi, y - yi
        xi &= 255
        yi &= 255
        p, v = self.perm, self.vals
        a = v[p[p[xi] + yi]]
        b = v[p[p[xi + 1] + yi]]
        c = v[p[p[xi] + yi + 1]]
        d = v[p[p[xi + 1] + yi + 1]]
        ux = fx * fx * (3 - 2 * fx)
        uy = fy * fy * (3 - 2 * fy)
        return (a + (b - a) * ux) + ((c + (d - c) * ux) - (a + (b - a) * ux)) * uy

    def fbm(self, x, y, octaves, gain=0.5):
        total, amp, freq = 0.0, 1.0, 1.0
        for o in range(octaves):
            total += amp * self.at(x * freq + o * 17.3, y * freq + o * 9.1)
            amp *= gain
            freq *= 2.03
        return total


# ---------------------------------------------------------------- file writers

def write_png(path, w, h, rgba):
    """rgba: bytes-like of w*h*4."""
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        raw += rgba[y * w * 4:(y + 1) * w * 4]

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def write_pnm(path, w, h, data, channels):
    magic = b"P5" if channels == 1 else b"P6"
    with open(path, "wb") as f:
        f.write(magic + b"\n%d %d\n255\n" % (w, h))
        f.write(bytes(data))


def and_mask(w, h, opaque):
    """1-bit AND mask, bottom-up rows padded to 32 bits; opaque(x, y) -> bool."""
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if not opaque(x, y):
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return out


def dib32(w, h, rgba):
    """A 32-bit BGRA DIB for an .ico entry (header height doubled, AND mask)."""
    hdr = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    px = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = rgba[(y * w + x) * 4:(y * w + x) * 4 + 4]
            px += bytes((b, g, r, a))
    mask = and_mask(w, h, lambda x, y: rgba[(y * w + x) * 4 + 3] >= 128)
    return hdr + px + mask


def write_icon_dir(path, kind, entries):
    """entries: (w, h, field1, field2, colours, data); ICO: planes/bpp, CUR: hotspot."""
    head = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    dirs, blobs = b"", b""
    for w, h, f1, f2, colours, data in entries:
        dirs += struct.pack("<BBBBHHII", w & 255, h & 255, colours, 0, f1, f2, len(data), offset)
        blobs += data
        offset += len(data)
    with open(path, "wb") as f:
        f.write(head + dirs + blobs)


# ---------------------------------------------------------------- supersampled layer

class Layer:
    """A premultiplied grey+alpha layer rendered at S samples per pixel side."""

    def __init__(self, w, h, s):
        self.w, self.h, self.s = w * s, h * s, s
        self.v = [0.0] * (self.w * self.h)
        self.a = [0.0] * (self.w * self.h)

    def paint(self, x0, y0, x1, y1, fn):
        """fn(x, y) in picture pixels -> (value 0..1, alpha) or None."""
        s = self.s
        X0, Y0 = max(0, int(x0 * s)), max(0, int(y0 * s))
        X1, Y1 = min(self.w, int(math.ceil(x1 * s))), min(self.h, int(math.ceil(y1 * s)))
        inv = 1.0 / s
        for Y in range(Y0, Y1):
            y = (Y + 0.5) * inv
            row = Y * self.w
            for X in range(X0, X1):
                r = fn((X + 0.5) * inv, y)
                if r is None:
                    continue
                val, al = r
                if al <= 0:
                    continue
                i = row + X
                self.v[i] = val * al + self.v[i] * (1 - al)
                self.a[i] = al + self.a[i] * (1 - al)

    def resolve(self):
        """Box-filter down to picture pixels: (premultiplied value, alpha) lists."""
        s, W = self.s, self.w // self.s
        H = self.h // self.s
        n = s * s
        pv, pa = [0.0] * (W * H), [0.0] * (W * H)
        for y in range(H):
            for x in range(W):
                tv = ta = 0.0
                for dy in range(s):
                    row = (y * s + dy) * self.w + x * s
                    for dx in range(s):
                        tv += self.v[row + dx]
                        ta += self.a[row + dx]
                pv[y * W + x] = tv / n
                pa[y * W + x] = ta / n
        return pv, pa


# ---------------------------------------------------------------- metal shading

LIGHT = (-0.45, -0.65, 0.62)
_ln = math.sqrt(sum(c * c for c in LIGHT))
LIGHT = tuple(c / _ln for c in LIGHT)


def metal(nx, ny, nz, base=0.55):
    """Grey value of polished metal for a surface normal (screen y down)."""
    d = nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2]
    # reflection of the viewer's ray (0, 0, 1) about the normal, tested against the light
    rz = 2 * nz * nz - 1
    rx, ry = 2 * nz * nx, 2 * nz * ny
    spec = max(0.0, rx * LIGHT[0] + ry * LIGHT[1] + rz * LIGHT[2]) ** 24
    env = 0.5 + 0.5 * (-ny)          # sky above, table below
    return clamp(base * (0.25 + 0.8 * max(d, 0)) + 0.2 * env + 0.7 * spec)


def tube(dirx, diry, t, base=0.55):
    """Shade a round tube cross-section; (dirx, diry) outward, t in -1..1 across."""
    t = clamp(t, -1, 1)
    nz = math.sqrt(max(0.0, 1 - t * t))
    return metal(dirx * t, diry * t, nz, base)


# ---------------------------------------------------------------- main backdrop

MW, MH = 290, 163


def paper(rnd):
    """Crumpled, slightly fibrous paper; calm on the left, livelier on the right."""
    noise = ValueNoise(7)
    fine = ValueNoise(11)
    creases = []
    for i in range(52):
        cx, cy = rnd.uniform(-20, MW + 20), rnd.uniform(-20, MH + 20)
        ang = rnd.uniform(0, math.pi)
        long_fold = i < 8
        creases.append((cx, cy, math.cos(ang), math.sin(ang),
                        rnd.uniform(0.05, 0.16) * rnd.choice((-1, 1)),
                        9999.0 if long_fold else rnd.uniform(25, 80),
                        rnd.uniform(15, 40),
                        rnd.uniform(0.8, 1.8) if long_fold else rnd.uniform(0.3, 0.9)))
    h = [0.0] * (MW * MH)
    for y in range(MH):
        for x in range(MW):
            z = 1.2 * noise.fbm(x / 38.0, y / 38.0, 3) + 0.18 * fine.fbm(x / 3.0, y / 3.0, 2)
            for cx, cy, ux, uy, amp, half, fall, eps in creases:
                dx, dy = x - cx, y - cy
                along = dx * ux + dy * uy
                across = -dx * uy + dy * ux
                o = abs(along) - half
                w = 1.0 if o <= 0 else math.exp(-(o / fall) ** 2)
                if w > 0.01:
                    z += amp * w * math.sqrt(across * across + eps * eps)
            h[y * MW + x] = z
    out = [0.0] * (MW * MH)
    lx, ly, lz = LIGHT
    for y in range(MH):
        for x in range(MW):
            xm, xp = max(0, x - 1), min(MW - 1, x + 1)
            ym, yp = max(0, y - 1), min(MH - 1, y + 1)
            gx = (h[y * MW + xp] - h[y * MW + xm]) / (xp - xm)
            gy = (h[yp * MW + x] - h[ym * MW + x]) / (yp - ym)
            n = math.sqrt(gx * gx + gy * gy + 1)
            lit = (-gx * lx - gy * ly + lz) / n - lz
            calm = 0.24 + 0.76 * smoothstep(150, 215, x)
            grain = 0.012 * fine.at(x * 0.9 + 300, y * 0.9)
            tone = 0.775 + 0.02 * noise.fbm(x / 90.0 + 40, y / 90.0, 2)
            # gentle darkening towards the bottom right corner
            vign = 0.05 * smoothstep(120, 330, math.hypot(x - 20, y - 10) * 0.9)
            out[y * MW + x] = tone + calm * (0.62 * lit + grain) - vign
    return out


def bezier(p0, p1, p2, p3, t):
    u = 1 - t
    return tuple(u * u * u * a + 3 * u * u * t * b + 3 * u * t * t * c + t * t * t * d
                 for a, b, c, d in zip(p0, p1, p2, p3))


def chain_links(p, spacing):
    """Points and tangents spaced evenly along a cubic curve."""
    pts = [bezier(*p, i / 2000.0) for i in range(2001)]
    out, acc = [pts[0]], 0.0
    for a, b in zip(pts, pts[1:]):
        acc += math.dist(a, b)
        if acc >= spacing:
            out.append(b)
            acc = 0.0
    links = []
    for a, b in zip(out, out[1:]):
        mx, my = (a[0] + b[0]) / 2, (a[1] + b[1]) / 2
        ang = math.atan2(b[1] - a[1], b[0] - a[0])
        links.append((mx, my, ang))
    return links


def main_backdrop(tmp):
    rnd = random.Random(2024)
    bg = paper(rnd)

    cx, cy, R = 229.0, 91.0, 46.0
    crown_ang = math.radians(-26)
    ca, sa = math.cos(crown_ang), math.sin(crown_ang)
    bow_d, bow_r, bow_t = R + 15.5, 9.0, 2.4
    bx, by = cx + bow_d * ca, cy + bow_d * sa
    chain = chain_links(((bx + 6, by + 8), (300, 118), (282, 160), (215, 156)), 5.2)
    chain += chain_links(((215, 156), (196, 153), (184, 162), (170, 170)), 5.2)[1:]

    # soft shadows on the paper (light comes from the upper left)
    for y in range(MH):
        for x in range(MW):
            d = math.hypot(x - cx - 4.5, y - cy - 5.5) - R
            s = 0.26 * (1 - smoothstep(-5, 7, d))
            dbow = abs(math.hypot(x - bx - 3, y - by - 4) - bow_r) - bow_t
            s = max(s, 0.16 * (1 - smoothstep(-1, 3, dbow)))
            if y > 95 or x > 270:
                for lx_, ly_, _ in chain:
                    dd = math.hypot(x - lx_ - 2, y - ly_ - 2.5)
                    if dd < 7:
                        s = max(s, 0.14 * (1 - smoothstep(1.5, 5, dd)))
            bg[y * MW + x] *= 1 - s

    L = Layer(MW, MH, 4)

    # chain: alternating flat rings and links seen edge-on
    for i, (lx_, ly_, ang) in enumerate(chain):
        ua, ub = math.cos(ang), math.sin(ang)
        flat = i % 2 == 0
        half_len, half_w, thick = 4.6, 2.6 if flat else 1.1, 0.95

        def link(x, y, lx_=lx_, ly_=ly_, ua=ua, ub=ub, flat=flat, half_w=half_w):
            dx, dy = x - lx_, y - ly_
            u = dx * ua + dy * ub
            v = -dx * ub + dy * ua
            a = half_len - half_w
            qu = max(abs(u) - a, 0.0)
            d = math.hypot(qu, v)
            if flat:
                t = (d - (half_w - thick)) / thick
                if abs(t) > 1:
                    return None
            else:
                t = d / (half_w + 0.2)
                if t > 1:
                    return None
            if d > 1e-6:
                nu, nv = (qu * (1 if u >= 0 else -1)) / d, v / d
            else:
                nu, nv = 0.0, 1.0
            dirx, diry = nu * ua - nv * ub, nu * ub + nv * ua
            return tube(dirx, diry, t, 0.62), 1.0

        L.paint(lx_ - 6, ly_ - 6, lx_ + 6, ly_ + 6, link)

    # bow (the ring the chain hangs from)
    def bow(x, y):
        dx, dy = x - bx, y - by
        r = math.hypot(dx, dy)
        t = (r - bow_r) / bow_t
        if abs(t) > 1:
            return None
        return tube(dx / r, dy / r, t, 0.6), 1.0

    L.paint(bx - 13, by - 13, bx + 13, by + 13, bow)

    # pendant and knurled crown
    def crown(x, y):
        dx, dy = x - cx, y - cy
        u = dx * ca + dy * sa          # outwards
        v = -dx * sa + dy * ca         # sideways
        if R - 3 < u <= R + 4 and abs(v) < 3.6:        # pendant neck
            t = v / 3.6
            return tube(-sa, ca, t, 0.5), 1.0
        if R + 4 < u < R + 10.5 and abs(v) < 5.2:      # crown
            t = v / 5.2
            ridge = 0.5 + 0.5 * math.cos((u - R) * 2 * math.pi / 1.6)
            edge = smoothstep(0.0, 0.9, min(u - R - 4, R + 10.5 - u))
            val = tube(-sa, ca, t, 0.55) * (0.78 + 0.22 * ridge) * (0.55 + 0.45 * edge)
            return val, 1.0
        return None

    L.paint(cx + (R - 4) * ca - 12, cy + (R + 11) * sa - 8, cx + (R + 11) * ca + 8, cy + (R - 4) * sa + 8, crown)

    # the case, bezel, dial, hands and crystal
    r_case_in = R - 6.5
    r_dial = R - 8.5
    hour_ang = crown_ang + math.radians(30 * 8 + 9 * 0.5)   # 8:09
    min_ang = crown_ang + math.radians(6 * 9)
    sub_cx = cx + 0.48 * r_dial * math.cos(crown_ang + math.pi)
    sub_cy = cy + 0.48 * r_dial * math.sin(crown_ang + math.pi)
    sub_r = 8.0
    sec_ang = crown_ang + math.radians(6 * 41)

    def hand(x, y, ox, oy, ang, length, tail, w0, w1):
        """Distance inside a tapered hand; > 0 means inside (in pixels)."""
        ua, ub = math.cos(ang), math.sin(ang)
        dx, dy = x - ox, y - oy
        u = dx * ua + dy * ub
        v = -dx * ub + dy * ua
        if u < -tail or u > length:
            return -1.0
        k = clamp(u / length) if u > 0 else 0.0
        half = w0 + (w1 - w0) * k
        if u > length * 0.82:          # pointed tip
            half *= (length - u) / (length * 0.18)
        return half - abs(v)

    def watch(x, y):
        dx, dy = x - cx, y - cy
        r = math.hypot(dx, dy)
        if r > R:
            return None
        nrx, nry = (dx / r, dy / r) if r > 1e-6 else (0.0, 1.0)
        if r > r_case_in:                       # rounded case band
            t = (r - (R + r_case_in) / 2) / ((R - r_case_in) / 2)
            return tube(nrx, nry, t * 0.95, 0.6), 1.0
        if r > r_dial:                          # bezel groove, slightly shadowed
            t = (r - (r_dial + r_case_in) / 2) / ((r_case_in - r_dial) / 2)
            return tube(nrx, nry, -t * 0.8, 0.32) * 0.8, 1.0
        # enamel dial with a faint shadow cast by the bezel
        ang = math.atan2(dy, dx)
        shade = 0.93 - 0.05 * (r / r_dial) ** 2
        shade -= 0.10 * (1 - smoothstep(0, 3.2, r_dial - r)) * (0.5 + 0.5 * math.cos(ang - math.atan2(-LIGHT[1], -LIGHT[0]) - math.pi))
        ink = 0.0
        rel = (ang - crown_ang) % (2 * math.pi)
        # minute track: two circles with ticks between them
        rt0, rt1 = r_dial - 5.2, r_dial - 2.0
        ink = max(ink, 1 - smoothstep(0.25, 0.7, abs(r - rt1)))
        ink = max(ink, 0.8 * (1 - smoothstep(0.2, 0.6, abs(r - rt0))))
        if rt0 < r < rt1:
            step = 2 * math.pi / 60
            off = (rel + step / 2) % step - step / 2
            ink = max(ink, 1 - smoothstep(0.25, 0.65, abs(off * r)))
        # hour bars, broader at the quarters
        step = 2 * math.pi / 12
        k = round(rel / step) % 12
        off = (rel + step / 2) % step - step / 2
        if k != 6:
            r_in = r_dial - (13.5 if k % 3 == 0 else 11.0)
            half_w = 1.55 if k % 3 == 0 else 1.0
            if r_in < r < rt0 + 0.3:
                ink = max(ink, 1 - smoothstep(half_w - 0.4, half_w + 0.2, abs(off * r)))
        # small seconds dial at six
        sd = math.hypot(x - sub_cx, y - sub_cy)
        if sd < sub_r + 0.6:
            shade -= 0.035
            ink = max(ink, 0.85 * (1 - smoothstep(0.2, 0.55, abs(sd - sub_r))))
            srel = (math.atan2(y - sub_cy, x - sub_cx) - crown_ang) % (2 * math.pi)
            sstep = 2 * math.pi / 12
            soff = (srel + sstep / 2) % sstep - sstep / 2
            if sub_r - 2.3 < sd < sub_r:
                ink = max(ink, 0.8 * (1 - smoothstep(0.2, 0.55, abs(soff * sd))))
            ink = max(ink, clamp(0.5 + 1.6 * hand(x, y, sub_cx, sub_cy, sec_ang, sub_r - 1, 2, 0.45, 0.35)))
            ink = max(ink, 1 - smoothstep(0.9, 1.4, sd))
        val = shade * (1 - 0.9 * ink)
        # hands with a soft shadow towards the lower right
        sh = max(hand(x - 1.2, y - 1.5, cx, cy, hour_ang, r_dial * 0.5, 5, 2.1, 1.2),
                 hand(x - 1.4, y - 1.8, cx, cy, min_ang, r_dial * 0.82, 6, 1.7, 0.8))
        val *= 1 - 0.22 * clamp((sh + 1.2) / 2.0)
        hh = max(hand(x, y, cx, cy, hour_ang, r_dial * 0.5, 5, 2.1, 1.2),
                 hand(x, y, cx, cy, min_ang, r_dial * 0.82, 6, 1.7, 0.8))
        if hh > -0.5:
            edge = clamp(hh + 0.5)
            val = val * (1 - edge) + 0.1 * edge
        if r < 3.2:                              # centre cap
            val = metal(dx / 3.2, dy / 3.2, math.sqrt(max(0.0, 1 - (r / 3.2) ** 2)), 0.35)
        # crystal: a soft crescent reflection on the upper left
        hx, hy = x - (cx - 6), y - (cy - 8)
        glare = (1 - smoothstep(r_dial * 0.55, r_dial * 0.98, math.hypot(hx, hy))) - \
                (1 - smoothstep(r_dial * 0.5, r_dial * 0.9, math.hypot(x - cx + 1, y - cy + 3)))
        glare = clamp(glare) * 0.55
        val = val + (1 - val) * glare
        return clamp(val), 1.0

    L.paint(cx - R - 1, cy - R - 1, cx + R + 1, cy + R + 1, watch)

    pv, pa = L.resolve()
    data = bytearray(MW * MH)
    dither = random.Random(5)
    for i in range(MW * MH):
        v = pv[i] + bg[i] * (1 - pa[i])
        data[i] = min(255, int(clamp(v) * 255 + dither.random()))
    write_pnm(os.path.join(tmp, "MainBackdrop.pgm"), MW, MH, data, 1)


# ---------------------------------------------------------------- dialog backdrop

def dialog_backdrop(tmp):
    w, h = 244, 127
    panel, frame, inner = (0xE6, 0xE6, 0xE6), (0x1F, 0x8A, 0x8A), (0xF4, 0xF4, 0xF4)
    data = bytearray()
    for y in range(h):
        for x in range(w):
            edge = min(x, y, w - 1 - x, h - 1 - y)
            data += bytes(frame if edge < 2 else inner if edge == 2 else panel)
    write_pnm(os.path.join(tmp, "DialogBackdrop.ppm"), w, h, data, 3)


# ---------------------------------------------------------------- clock icon

def seg_dist(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = clamp(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy))
    return math.hypot(px - ax - t * vx, py - ay - t * vy)


def icon_params(size):
    """Stroke weights tuned per size so the small ones stay crisp."""
    if size <= 16:
        return dict(halo=1.0, ring=1.8, hour=1.9, minute=1.45, ticks=False, dot=1.2)
    if size <= 24:
        return dict(halo=1.2, ring=2.0, hour=2.0, minute=1.6, ticks=True, dot=1.5)
    if size <= 32:
        return dict(halo=1.4, ring=2.6, hour=2.5, minute=2.0, ticks=True, dot=1.9)
    k = size / 32.0
    return dict(halo=1.0 * k, ring=2.25 * k, hour=2.5 * k, minute=2.0 * k, ticks=True, dot=1.9 * k)


def render_icon(size):
    p = icon_params(size)
    c = size / 2.0
    r_out = c - 0.15                     # outer edge of the light halo
    r_ring = r_out - p["halo"]           # outer edge of the black ring
    r_in = r_ring - p["ring"]            # dial
    hour_a = math.radians(-90 + 305)     # 10:10
    min_a = math.radians(-90 + 60)
    hour_len = r_in * 0.55
    min_len = r_in * 0.86
    if size <= 16:
        hour_len, min_len = 3.3, 4.6
    hx, hy = c + hour_len * math.cos(hour_a), c + hour_len * math.sin(hour_a)
    mx, my = c + min_len * math.cos(min_a), c + min_len * math.sin(min_a)
    tick_len = max(1.2, r_in * 0.22)
    tick_w = max(1.0, p["minute"] * 0.75)
    ss = 8 if size <= 32 else 4 if size <= 128 else 3
    out = bytearray()
    for y in range(size):
        for x in range(size):
            acc = [0.0, 0.0]   # premultiplied value, alpha
            for sy in range(ss):
                for sx in range(ss):
                    px, py = x + (sx + 0.5) / ss, y + (sy + 0.5) / ss
                    r = math.hypot(px - c, py - c)
                    if r > r_out:
                        continue
                    val, al = 1.0, 0.86          # light halo
                    if r <= r_in:
                        val, al = 0.98, 0.93
                    elif r <= r_ring:
                        val, al = 0.0, 1.0
                    dark = False
                    if r <= r_in:
                        if seg_dist(px, py, c, c, hx, hy) <= p["hour"] / 2:
                            dark = True
                        elif seg_dist(px, py, c, c, mx, my) <= p["minute"] / 2:
                            dark = True
                        elif r <= p["dot"]:
                            dark = True
                        elif p["ticks"]:
                            for k in range(12 if size >= 48 else 4):
                                a = k * math.pi / 6 if size >= 48 else k * math.pi / 2
                                ux, uy = math.cos(a), math.sin(a)
                                along = (px - c) * ux + (py - c) * uy
                                across = abs(-(px - c) * uy + (py - c) * ux)
                                ln = tick_len if k % 3 == 0 or size < 48 else tick_len * 0.6
                                if r_in - ln - 0.3 < along and across <= tick_w / 2:
                                    dark = True
                    if dark:
                        val, al = 0.0, 1.0
                    acc[0] += val * al
                    acc[1] += al
            n = ss * ss
            a = acc[1] / n
            v = acc[0] / acc[1] if acc[1] > 0 else 0.0
            g = int(round(clamp(v) * 255))
            out += bytes((g, g, g, int(round(a * 255))))
    return out


# ---------------------------------------------------------------- hand cursor

HAND = """
.
...........###
..........#ooo#
..........#ooo#
..........#ooo#
..........#ooo#
..........#ooo#
..........#ooo####
..........#ooo#ooo####
..........#ooo#ooo#ooo#
..........#ooo#ooo#ooo###
..........#ooo#ooo#ooo#oo#
..........#ooo#ooo#ooo#oo#
..####....#ooo#ooo#ooo#oo#
.#oooo#...#oooooooooooooo#
.#ooooo#..#oooooooooooooo#
..#ooooo#.#oooooooooooooo#
...#ooooo##oooooooooooooo#
....#oooooooooooooooooooo#
.....#ooooooooooooooooooo#
......#oooooooooooooooooo#
.......#ooooooooooooooooo#
.......#oooooooooooooooo#
........#ooooooooooooooo#
........#ooooooooooooooo#
........#ooooooooooooooo#
........#################
.
.
.
.
.
"""


def hand_cursor(out):
    rows = [r.ljust(32, ".") for r in HAND.strip("\n").splitlines()]
    assert len(rows) == 32 and all(len(r) == 32 for r in rows)
    assert rows[1][12] == "#" and rows[0][12] == "."      # fingertip = hot spot
    palette = [(0, 0, 0), (255, 255, 255)] + [(0, 0, 0)] * 14
    hdr = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    px = bytearray()
    for y in range(31, -1, -1):
        for x in range(0, 32, 2):
            hi = 1 if rows[y][x] == "o" else 0
            lo = 1 if rows[y][x + 1] == "o" else 0
            px.append(hi << 4 | lo)
    mask = and_mask(32, 32, lambda x, y: rows[y][x] != ".")
    write_icon_dir(os.path.join(out, "HandCursor.cur"), 2,
                   [(32, 32, 12, 1, 16, hdr + pal + px + mask)])
    # The same hand as a PNG for toolkits that read no .cur files; its hot spot stays (12, 1).
    colours = {"#": (0, 0, 0, 255), "o": (255, 255, 255, 255), ".": (0, 0, 0, 0)}
    write_png(os.path.join(out, "icons", "hand-cursor.png"), 32, 32,
              bytes(c for row in rows for ch in row for c in colours[ch]))
    return rows


# ---------------------------------------------------------------- beep

def beep(out):
    rate, dur = 44100, 0.30
    n = int(rate * dur)
    attack, release = int(0.006 * rate), int(0.11 * rate)
    samples = []
    for i in range(n):
        t = i / rate
        tone = math.sin(2 * math.pi * 880 * t) + 0.28 * math.sin(2 * math.pi * 1760 * t + 0.4)
        env = math.exp(-t * 4.0)
        if i < attack:
            env *= 0.5 - 0.5 * math.cos(math.pi * i / attack)
        if i >= n - release:
            env *= 0.5 + 0.5 * math.cos(math.pi * (i - (n - release)) / (release - 1))
        samples.append(tone * env)
    peak = max(abs(s) for s in samples)
    scale = 32767 * 10 ** (-3 / 20) / peak
    pcm = [int(round(s * scale)) for s in samples]
    pcm[0] = pcm[-1] = 0
    data = struct.pack("<%dh" % n, *pcm)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    riff = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    with open(os.path.join(out, "beep.wav"), "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(riff)) + riff)


# ---------------------------------------------------------------- main

def main():
    out, tmp = sys.argv[1], sys.argv[2]
    os.makedirs(os.path.join(out, "icons"), exist_ok=True)
    what = sys.argv[3:] or ["icon", "cursor", "beep", "dialog", "main"]
    if "icon" in what:
        entries = []
        for size in (256, 128, 64, 48, 32, 24, 16):
            rgba = render_icon(size)
            write_png(os.path.join(out, "icons", "tollora-%d.png" % size), size, size, rgba)
            if size <= 32:
                entries.append((size, size, 1, 32, 0, dib32(size, size, rgba)))
        write_icon_dir(os.path.join(out, "ClockIcon.ico"), 1, entries)
    if "cursor" in what:
        hand_cursor(out)
    if "beep" in what:
        beep(out)
    if "dialog" in what:
        dialog_backdrop(tmp)
    if "main" in what:
        main_backdrop(tmp)


if __name__ == "__main__":
    main()
