#!/usr/bin/env python3
"""Time from the end of a 0 s exposure to its BLOB arriving at a client on the same machine.

Starts indiserver with indi_kvr_q4_ccd on the simulated camera, connects as a plain INDI client
and takes 0 s exposures in the binned and a full-resolution mode. A 0 s exposure ends when it
starts, so the time runs from the request to the last byte of the BLOB. With the simulated
download time at 0 (the default here) the figure is the driver's own part: the copy, FITS,
base64, the server and the socket; DOWNLOAD_MS (per full-width field; a camera takes about
2900) adds the camera's transfer.

  indi_latency.py DRIVER_DIR [FRAMES [DOWNLOAD_MS]]
"""
import contextlib
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import time

DEVICE = "KVR_Q4 CCD"


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Client:
    def __init__(self, port):
        for _ in range(50):
            try:
                self.sock = socket.create_connection(("127.0.0.1", port))
                break
            except OSError:
                time.sleep(0.1)
        self.buffer = b""

    def send(self, xml):
        self.sock.sendall(xml.encode())

    def wait_for(self, marker, timeout=30):
        """Reads until `marker` has arrived; returns the moment it did."""
        deadline = time.monotonic() + timeout
        while marker not in self.buffer:
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            chunk = self.sock.recv(1 << 20)
            if not chunk:
                raise RuntimeError("server closed the connection")
            self.buffer += chunk
        at = time.monotonic()
        self.buffer = self.buffer[self.buffer.index(marker) + len(marker):]
        return at

    def set_switch(self, prop, element):
        self.send(f'<newSwitchVector device="{DEVICE}" name="{prop}">'
                  f'<oneSwitch name="{element}">On</oneSwitch></newSwitchVector>')

    def expose(self, seconds):
        self.send(f'<newNumberVector device="{DEVICE}" name="CCD_EXPOSURE">'
                  f'<oneNumber name="CCD_EXPOSURE_VALUE">{seconds}</oneNumber></newNumberVector>')


@contextlib.contextmanager
def driver_session(driver_dir, work, options, ready, blobs=False):
    """indiserver with indi_kvr_q4_ccd on the simulated camera (`options` added to its own), its
    files in `work`; yields a Client connected to the device once `ready` (a property name) has
    come. The server ends with the block."""
    env = dict(os.environ, HOME=work, PATH=driver_dir + ":" + os.environ["PATH"],
               KVR_Q4_INDI_OPTIONS=f"--camera sim --drives {work}/drives {options}")
    server = None
    try:
        port = free_port()
        server = subprocess.Popen(["indiserver", "-p", str(port), "-u", f"{work}/indiserver",
                                   "indi_kvr_q4_ccd"], env=env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        c = Client(port)
        c.send('<getProperties version="1.7"/>')
        c.wait_for(b'name="CONNECTION"')
        if blobs:
            c.send(f'<enableBLOB device="{DEVICE}">Also</enableBLOB>')
        c.set_switch("CONNECTION", "CONNECT")
        c.wait_for(f'name="{ready}"'.encode())
        yield c
    finally:
        if server:
            server.terminate()
            server.wait()


def main():
    driver_dir = sys.argv[1]
    frames = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    download_ms = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    with tempfile.TemporaryDirectory() as work, \
            driver_session(driver_dir, work, f"--sim-download-ms {download_ms}",
                           "KVR_READOUT_MODE", blobs=True) as c:
        for mode, label in (("MODE_1", "binned 376 x 290"), ("MODE_2", "full 752 x 580")):
            c.set_switch("KVR_READOUT_MODE", mode)
            time.sleep(0.5)
            times = []
            for _ in range(frames):
                start = time.monotonic()
                c.expose(0)
                times.append((c.wait_for(b"</setBLOBVector>") - start) * 1000)
            print(f"{label}: median {statistics.median(times):.1f} ms, "
                  f"min {min(times):.1f} ms, max {max(times):.1f} ms over {frames} frames")


if __name__ == "__main__":
    main()
