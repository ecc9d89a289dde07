#!/usr/bin/env python3
"""The main window flashing the GPS chip of a simulated radio, for the
screenshot script (run it on a display, e.g. under xvfb-run -s "... -br").

  gps_flash_shots.py BIN_FOLDER OUT_FOLDER WORK_FOLDER

Prepares WORK_FOLDER (the demo's product and kernel files, a GPS image and a
configuration at 115200 bit/s with remote control on), starts `radiosim
--gps-chip` on its COM1 with a line-timed link and `vexaload -id Demo` there,
sends ORVIX_FLASH over the remote port and shoots the screen with
`screen_grab` while the chip is being flashed (gps_flash_progress.png) and
once it is done (gps_flash_done.png). Exits 0 when both pictures were taken
and the chip holds the image; every process it starts ends with it.
"""
import os
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import demo_files  # noqa: E402

PART = "AM29LV800BB"
IMAGE_SIZE = 192 * 1024
SHOT_AT_PERCENT = 40


def prepare(folder):
    os.makedirs(os.path.join(folder, "com"), exist_ok=True)
    seed = 1
    for name in demo_files.KERNEL_FILES:
        demo_files.write_srecords(os.path.join(folder, name), demo_files.KERNEL_ADDRESS,
                                  demo_files.pattern(2048, seed))
        seed += 40
    demo_files.write_atomically(os.path.join(folder, "vexademo.qlp"), demo_files.product_text().encode())
    image = demo_files.pattern(IMAGE_SIZE, 0x5A)
    demo_files.write_atomically(os.path.join(folder, "gps.bin"), image)
    port = demo_files.free_port()
    text = demo_files.config(port).replace(f"data_rate={demo_files.DATA_RATE}\n", "data_rate=0\n")
    demo_files.write_atomically(os.path.join(folder, "Demo.cfg"), text.encode())
    return port, image


class Client:
    def __init__(self, port):
        deadline = time.monotonic() + 30
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        self.pending = b""

    def send(self, line):
        self.sock.sendall(line.encode() + b"\r\n")

    def ask(self, line):
        self.send(line)
        while b"\n" not in self.pending:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise OSError("the program closed the connection")
            self.pending += chunk
        reply, self.pending = self.pending.split(b"\n", 1)
        return reply.decode(errors="replace").strip()


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while not predicate():
        if time.monotonic() > deadline:
            raise RuntimeError(f"{what} within {seconds} s")
        time.sleep(0.05)


def shoot(binaries, path):
    subprocess.run([os.path.join(binaries, "screen_grab"), path], check=True)


def log_has(folder, text):
    try:
        with open(os.path.join(folder, "Demo.log"), errors="replace") as log:
            return text in log.read()
    except OSError:
        return False


def run(binaries, out, folder):
    port, image = prepare(folder)
    chip_file = os.path.join(folder, "chip.bin")
    environment = dict(os.environ, QUILLON_COM_DIR=os.path.join(folder, "com"))
    children = []
    try:
        radio = subprocess.Popen([os.path.join(binaries, "radiosim"), "--dir", os.path.join(folder, "com"), "--com",
                                  "1", "--boot", "harrow", "--line-timing", "--gps-chip", PART, "--gps-flash-out",
                                  chip_file], stdout=subprocess.DEVNULL)
        children.append(radio)
        wait_for(lambda: os.path.exists(os.path.join(folder, "com", "COM1")), 10, "radiosim did not link COM1")
        program = subprocess.Popen([os.path.join(binaries, "vexaload"), "-id", "Demo"], cwd=folder, env=environment,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        children.append(program)
        wait_for(lambda: log_has(folder, "Reading product file"), 30, "the window did not read its product file")
        client = Client(port)
        time.sleep(1)  # the first paint
        client.send("ORVIX_FLASH gps.bin")

        def flashing():
            status = client.ask("STATUS")
            if status.startswith("ERROR"):
                raise RuntimeError(f"the GPS-chip flash failed: {status}")
            digits = status.rsplit(" ", 1)[-1].rstrip('"%')
            return "Flashing" in status and digits.isdigit() and int(digits) >= SHOT_AT_PERCENT

        wait_for(flashing, 120, "the GPS-chip flash did not get under way")
        time.sleep(0.3)  # the row's repaint
        shoot(binaries, os.path.join(out, "gps_flash_progress.png"))
        wait_for(lambda: log_has(folder, "COM1> Item finished with sequence number 0"), 120,
                 "the GPS-chip flash did not finish")
        wait_for(lambda: client.ask("STATUS").startswith("DONE"), 30, "the program did not report DONE")
        time.sleep(0.5)
        shoot(binaries, os.path.join(out, "gps_flash_done.png"))
        client.send("TERMINATE_APP")
        program.wait(timeout=30)
        radio.terminate()
        radio.wait(timeout=30)
        with open(chip_file, "rb") as chip:
            if chip.read(len(image)) != image:
                raise RuntimeError("the GPS chip's flash differs from the image")
        return 0
    except (OSError, RuntimeError, subprocess.SubprocessError) as failure:
        print(f"gps_flash_shots: {failure}", file=sys.stderr)
        return 1
    finally:
        for child in reversed(children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    return run(argv[1], argv[2], argv[3])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
