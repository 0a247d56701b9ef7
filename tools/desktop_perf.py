"""The measuring half of tools/desktop-perf.sh (see there).

The game is watched from outside: the screen through xwd, CPU and memory
through /proc, and the frame timer's counters (ticks, the rate the head-up
display shows, flips, pictures shown) read straight from the game's memory at
the addresses its debug information gives, without stopping it.
"""

import argparse
import os
import re
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TITLE = "Kelo - Das Spiel"
CLK_TCK = os.sysconf("SC_CLK_TCK")


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, **kw).stdout


def symbols(binary):
    """Link-time address of Form1 and offsets of the fields read in TForm1."""
    exprs = {
        "form1": "(long)&Form1",
        "ticks": "(long)&((TForm1*)0)->DXTimer1.TicksBegun",
        "rate": "(long)&((TForm1*)0)->DXTimer1.FrameRate",
        "flips": "(long)&((TForm1*)0)->screen1.FlipCount",
        "state": "(long)&((TForm1*)0)->gameState",
        "app": "(long)&plat::Application",
        "shown": "(long)&((plat::TApplication*)0)->PicturesShown",
    }
    found = {}
    for name, expr in exprs.items():
        out = subprocess.run(["gdb", "-batch", "-nx", "-ex", "print " + expr, binary],
                             capture_output=True, text=True).stdout
        m = re.search(r"= (-?\d+)", out)
        if m:
            found[name] = int(m.group(1))
    for need in ("form1", "ticks", "rate", "flips", "state"):
        if need not in found:
            sys.exit(f"cannot find {need} in the debug information of {binary}")
    return found


class Probe:
    """Reads the game's counters from /proc/PID/mem while it runs."""

    def __init__(self, pid, binary, syms):
        self.pid, self.syms = pid, syms
        real = os.path.realpath(binary)
        self.base = None
        for _ in range(200):
            with open(f"/proc/{pid}/maps") as maps:
                for line in maps:
                    parts = line.split()
                    if len(parts) >= 6 and os.path.realpath(parts[5]) == real and int(parts[2], 16) == 0:
                        self.base = int(parts[0].split("-")[0], 16)
                        break
            if self.base is not None:
                break
            time.sleep(0.01)
        self.mem = open(f"/proc/{pid}/mem", "rb", buffering=0)

    def read(self, addr, n):
        self.mem.seek(addr)
        return self.mem.read(n)

    def u64(self, addr):
        return struct.unpack("<Q", self.read(addr, 8))[0]

    def form(self):
        return self.u64(self.base + self.syms["form1"])

    def counters(self):
        f = self.form()
        if not f:
            return None
        c = {
            "ticks": self.u64(f + self.syms["ticks"]),
            "rate": struct.unpack("<i", self.read(f + self.syms["rate"], 4))[0],
            "flips": self.u64(f + self.syms["flips"]),
        }
        if "app" in self.syms and "shown" in self.syms:
            c["shown"] = self.u64(self.base + self.syms["app"] + self.syms["shown"])
        return c

    def state(self):
        f = self.form()
        if not f:
            return ""
        ptr, size = struct.unpack("<QQ", self.read(f + self.syms["state"], 16))
        return self.read(ptr, min(size, 64)).decode("latin-1") if size else ""


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def vm_hwm_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0


def screen_lit(display, points):
    """Whether every one of the points of the root window is lit."""
    data = subprocess.run(["xwd", "-root", "-silent", "-display", display], capture_output=True).stdout
    if len(data) < 100:
        return False
    h = struct.unpack(">25I", data[:100])
    header, bpp, bpl, ncolors = h[0], h[11], h[12], h[19]
    start, size = header + 12 * ncolors, bpp // 8
    for x, y in points:
        at = start + y * bpl + x * size
        if not any(data[at:at + size][:3]):
            return False
    return True


def save_png(display, path):
    """The root window as a PNG file."""
    for _ in range(10):  # a window being rearranged can cut a reading short
        data = subprocess.run(["xwd", "-root", "-silent", "-display", display], capture_output=True).stdout
        if len(data) >= 100:
            h = struct.unpack(">25I", data[:100])
            header, w, ht, bpp, bpl, ncolors = h[0], h[4], h[5], h[11], h[12], h[19]
            if bpp in (24, 32) and len(data) >= header + 12 * ncolors + ht * bpl:
                break
        time.sleep(0.1)
    else:
        sys.exit("cannot take a screenshot of a 32-bit screen")
    start = header + 12 * ncolors
    raw = bytearray()
    for y in range(ht):
        n = bpp // 8
        row = data[start + y * bpl:start + y * bpl + n * w]
        rgb = bytearray(3 * w)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::n], row[1::n], row[0::n]
        raw += b"\0" + rgb

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, ht, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


class Desktop:
    def __init__(self, size, number):
        self.display = f":{number}"
        self.procs = []
        self.procs.append(subprocess.Popen(["Xvfb", self.display, "-screen", "0", size + "x24", "-br", "-nolisten",
                                            "tcp", "-noreset"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.env = dict(os.environ, DISPLAY=self.display)
        for var in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
            self.env.pop(var, None)
        deadline = time.time() + 10
        while subprocess.run(["xdpyinfo"], env=self.env, capture_output=True).returncode != 0:
            if time.time() > deadline:
                sys.exit("the X server did not start")
            time.sleep(0.05)
        self.procs.append(subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL))
        # The window manager has taken over when the root names it.
        while b"_NET_SUPPORTING_WM_CHECK(WINDOW)" not in subprocess.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, capture_output=True).stdout:
            if time.time() > deadline:
                sys.exit("the window manager did not start")
            time.sleep(0.05)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True, capture_output=True)

    def close(self):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()


def measure_once(args, syms, number):
    w, h = (int(v) for v in args.size.split("x"))
    s = min(w / 640, h / 480)
    ox, oy = (w - round(640 * s)) // 2, (h - round(480 * s)) // 2

    def at(x, y):  # a display pixel's centre on the screen
        return str(int(ox + (x + 0.5) * s)), str(int(oy + (y + 0.5) * s))

    folder = tempfile.mkdtemp(prefix="kelo-perf-")
    shutil.copytree(args.game, folder, dirs_exist_ok=True)
    for name in ("kelo.ini", "high1.sco", "high2.sco", "high3.sco"):
        if os.path.exists(os.path.join(folder, name)):
            os.remove(os.path.join(folder, name))
    desk = Desktop(args.size, number)
    if args.audio:
        desk.env["SDL_AUDIODRIVER"] = args.audio
    result = {}
    game = None
    try:
        binary = os.path.join(folder, "kelo")
        # Inside the picture, near its corners and in its middle: not where a
        # window that is being mapped or decorated could light them.
        points = [(ox + int(px * s), oy + int(py * s)) for px, py in ((20, 20), (620, 20), (20, 460), (620, 460),
                                                                     (320, 240))]
        t0 = time.monotonic()
        game = subprocess.Popen([binary], env=desk.env, cwd=folder, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)
        while not screen_lit(desk.display, points):
            if game.poll() is not None:
                sys.exit("the game ended: " + game.stderr.read().decode(errors="replace"))
            if time.monotonic() - t0 > 30:
                sys.exit("no picture within 30 s")
        result["first_picture_s"] = time.monotonic() - t0
        probe = Probe(game.pid, binary, syms)

        # The idle main menu.
        time.sleep(2)
        c0, k0, t1 = cpu_seconds(game.pid), probe.counters(), time.monotonic()
        time.sleep(args.seconds)
        c1, k1, t2 = cpu_seconds(game.pid), probe.counters(), time.monotonic()
        result["menu_cpu_pct"] = 100 * (c1 - c0) / (t2 - t1)
        shown = k1.get("shown", k1["flips"]) - k0.get("shown", k0["flips"])
        result["menu_shown_per_s"] = shown / (t2 - t1)
        result["menu_cpu_ms_per_shown"] = 1000 * (c1 - c0) / max(1, shown)

        # Into a level: "Neues Spiel", "Leicht", a name and Enter.
        desk.xdotool("mousemove", *at(450, 178))
        desk.xdotool("click", "1")
        wait_state(probe, "Schwer", 10)
        time.sleep(0.3)
        desk.xdotool("mousemove", *at(450, 178))
        desk.xdotool("click", "1")
        wait_state(probe, "Name", 10)
        time.sleep(0.3)
        desk.xdotool("type", "--delay", "30", "Tester")
        desk.xdotool("key", "Return")
        wait_state(probe, "Level", 10)
        time.sleep(2)

        # The level: the rate on the display, the clock of 500 ticks, CPU.
        rates = []
        c0, t1 = cpu_seconds(game.pid), time.monotonic()
        start = probe.counters()
        shown0 = start.get("shown", start["flips"])
        t500 = None
        next_rate = t1 + 1
        while time.monotonic() - t1 < args.seconds or t500 is None:
            k = probe.counters()
            now = time.monotonic()
            if t500 is None and k["ticks"] - start["ticks"] >= 500:
                t500 = now - t1
            if now >= next_rate:
                rates.append(k["rate"])
                next_rate += 1
            if now - t1 > 120:
                break
            time.sleep(0.002)
        c1, t2, end = cpu_seconds(game.pid), time.monotonic(), probe.counters()
        result["level_rates"] = rates
        result["level_500_ticks_s"] = t500
        result["level_cpu_pct"] = 100 * (c1 - c0) / (t2 - t1)
        result["level_shown_per_s"] = (end.get("shown", end["flips"]) - shown0) / (t2 - t1)
        result["level_state"] = probe.state()
        if args.shot:
            save_png(desk.display, args.shot)
        result["vmhwm_mb"] = vm_hwm_mb(game.pid)
    finally:
        if game and game.poll() is None:
            game.send_signal(signal.SIGTERM)
            try:
                game.wait(5)
            except subprocess.TimeoutExpired:
                game.kill()
        desk.close()
        shutil.rmtree(folder, ignore_errors=True)
    return result


def wait_state(probe, state, seconds):
    deadline = time.monotonic() + seconds
    while probe.state() != state:
        if time.monotonic() > deadline:
            sys.exit(f"the game did not reach {state} (it is in {probe.state()!r})")
        time.sleep(0.01)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--game", required=True)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--size", default="1280x960")
    ap.add_argument("--seconds", type=float, default=10)
    ap.add_argument("--display", type=int, default=97)
    ap.add_argument("--shot", help="write the screen in the level to this PNG file")
    ap.add_argument("--audio", help="SDL_AUDIODRIVER for the game (dummy: a device that plays nowhere)")
    args = ap.parse_args()
    syms = symbols(os.path.join(args.game, "kelo"))
    results = []
    for i in range(args.runs):
        r = measure_once(args, syms, args.display)
        results.append(r)
        print(f"run {i + 1}: first picture {r['first_picture_s']:.2f} s, "
              f"menu CPU {r['menu_cpu_pct']:.1f} % ({r['menu_shown_per_s']:.1f} shown/s, "
              f"{r['menu_cpu_ms_per_shown']:.2f} ms CPU each), "
              f"level HUD fps {min(r['level_rates'])}-{max(r['level_rates'])}, "
              f"500 ticks {r['level_500_ticks_s']:.2f} s, level CPU {r['level_cpu_pct']:.1f} % "
              f"({r['level_shown_per_s']:.1f} shown/s), VmHWM {r['vmhwm_mb']:.0f} MB", flush=True)

    def med(key):
        return statistics.median(r[key] for r in results)

    print(f"\nmedian of {len(results)} runs at {args.size}:")
    print(f"  start to first picture     {med('first_picture_s'):.2f} s")
    print(f"  idle main menu CPU         {med('menu_cpu_pct'):.1f} % of a core")
    print(f"  CPU per shown frame (menu) {med('menu_cpu_ms_per_shown'):.2f} ms")
    print(f"  level HUD frame rate       {min(min(r['level_rates']) for r in results)}-"
          f"{max(max(r['level_rates']) for r in results)}")
    print(f"  500 ticks of a level take  {med('level_500_ticks_s'):.2f} s")
    print(f"  level CPU                  {med('level_cpu_pct'):.1f} % of a core")
    print(f"  peak memory (VmHWM)        {med('vmhwm_mb'):.0f} MB")


if __name__ == "__main__":
    main()
