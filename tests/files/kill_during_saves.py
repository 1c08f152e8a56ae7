"""Numbered auto-saves killed at random moments, again and again: every image that ever reached
the folder keeps its bytes (a later session never writes over it), every image is whole, and a
clean start afterwards leaves no temporary file behind.

Usage: kill_during_saves.py KVR_Q4 [SESSIONS] [SEED]
"""
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time

FITS_BYTES = 224640  # a binned 16-bit frame
SAVES_PER_SESSION = 400  # more than a session lives to write
OBJECT = re.compile(rb"OBJECT  = 's(\d+)n(\d+)")
# Also the older naming, without "kvr-".
TEMPORARY = re.compile(r"^\..+\.(kvr-)?[A-Za-z0-9]{6}$")


def session_script(path, session, saves):
    with open(path, "w") as f:
        for k in range(saves):
            f.write(f"set FITS_Obj s{session}n{k}\ncommand 24336\n")


def run(exe, drives, script):
    return subprocess.Popen(
        [exe, "--headless", "--virtual-clock", "--drives", drives, "--script", script],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)


def stored_number(folder):
    try:
        with open(os.path.join(folder, "KVR_Q4.INI"), "rb") as f:
            head = f.read(2)
    except FileNotFoundError:
        return 0
    return head[0] | head[1] << 8 if len(head) == 2 else 0


def check_images(folder, seen, problems):
    for name in os.listdir(folder):
        if not re.fullmatch(r"IMG\d+\.FIT", name):
            continue
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        if len(data) != FITS_BYTES or not data.startswith(b"SIMPLE") or not OBJECT.search(data):
            problems.append(f"{name}: not a whole image ({len(data)} bytes)")
        elif name in seen and seen[name] != data:
            old = [int(g) for g in OBJECT.search(seen[name]).groups()]
            new = [int(g) for g in OBJECT.search(data).groups()]
            problems.append(f"{name}: image of session {old[0]} save {old[1]} replaced by "
                            f"session {new[0]} save {new[1]}")
        seen[name] = data


def main():
    exe = sys.argv[1]
    sessions = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 29)
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as work:
        drives = os.path.join(work, "drives")
        folder = os.path.join(drives, "c", "autosave")
        script = os.path.join(work, "saves.script")
        seen, problems, lagging, left = {}, [], 0, 0
        for session in range(sessions):
            session_script(script, session, SAVES_PER_SESSION)
            program = run(exe, drives, script)
            program.stdout.readline()  # the start-up caption: the saves begin
            time.sleep(rng.uniform(0.0, 0.05))
            program.send_signal(signal.SIGKILL)
            program.wait()
            if os.path.isdir(folder):
                check_images(folder, seen, problems)
                left += sum(bool(TEMPORARY.match(n)) for n in os.listdir(folder))
                numbers = [int(n[3:-4]) for n in seen]
                lagging += bool(numbers) and stored_number(folder) < max(numbers)

        # A clean session: its saves go on after the last image, and its start removed what
        # the killed saves left.
        session_script(script, sessions, 3)
        out, _ = run(exe, drives, script).communicate()
        if b"message" in out:
            problems.append("clean session: " + out.decode(errors="replace"))
        check_images(folder, seen, problems)
        leftovers = [n for d in (folder, os.path.join(drives, "c"))
                     for n in os.listdir(d) if TEMPORARY.match(n)]
        if leftovers:
            problems.append(f"temporary files left: {leftovers}")

    print(f"{sessions} kills, {len(seen)} images, {lagging} times the stored number lagged, "
          f"{left} temporary files found after kills, {time.monotonic() - started:.1f} s")
    for p in problems:
        print(p)
    return 1 if problems or not seen else 0


if __name__ == "__main__":
    sys.exit(main())
