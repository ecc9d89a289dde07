#!/usr/bin/env python3
"""Files of the demo that scripts/demo.sh runs.

  demo_files.py FOLDER            writes the demo folder and prints a free
                                  TCP port for remote control (in Demo.cfg)
  demo_files.py --compare BIN S19 exits 0 when the S-record file holds the
                                  bytes of BIN at its lowest address
"""
import os
import socket
import sys

KERNEL_ADDRESS = 0x20000000
KERNEL_FILES = ["calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"]
SECTOR = 0x10000
FIRMWARE_ADDRESS = SECTOR  # CODE sectors 1-2; sector 0 holds the boot block
FIRMWARE_SIZE = 2 * SECTOR

PRODUCT = """# The simulated radio of the demo: 1 MB of NOR flash in 64 KB sectors.
product VEXADEMO
{
    processor Harrow;
    flash main size = 1M type = nor vendor = Intel num_sectors = 16
    {
        partition = 0 boot size = 1M type = code chip_select = 0;
        address = 0, sector_size = 64K, num_sectors = 12, type = CODE;
        address = 0xC0000, sector_size = 64K, num_sectors = 2, type = CODEPLUG;
        address = 0xE0000, sector_size = 64K, num_sectors = 2, type = FLASHPACK;
    }
}
"""


def pattern(size, seed):
    return bytes((seed + i * 7 + (i >> 9)) & 0xFF for i in range(size))


def srecord(kind, address, data):
    width = 2 if kind == 0 else 4  # S0 has a 16-bit field; S3 and S7 32-bit addresses
    body = bytes([len(data) + width + 1]) + address.to_bytes(width, "big") + data
    checksum = 0xFF - (sum(body) & 0xFF)
    return f"S{kind}" + body.hex().upper() + f"{checksum:02X}\n"


def write_srecords(path, address, data, record=32):
    lines = [srecord(0, 0, b"demo")]
    for offset in range(0, len(data), record):
        lines.append(srecord(3, address + offset, data[offset:offset + record]))
    lines.append(srecord(7, address, b""))
    write_atomically(path, "".join(lines).encode())


def write_atomically(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def config(port):
    return "".join(f"{key}={value}\n" for key, value in [
        ("comm_protocol", 0),          # RS232
        ("serial_port", 0),            # COM1
        ("data_rate", 0),              # 115200 bit/s
        ("data_rate_divisor", 0),
        ("remote_port", port),
        ("auto_erase_flash", 1),
        ("enable_remote_control", 1),
        ("flash_product_file", "vexademo.qlp"),
        ("flash_product_tag", "VEXADEMO"),
    ])


def write_folder(folder):
    seed = 1
    for name in KERNEL_FILES:
        write_srecords(os.path.join(folder, name), KERNEL_ADDRESS, pattern(2048, seed))
        seed += 40
    write_atomically(os.path.join(folder, "vexademo.qlp"), PRODUCT.encode())
    new = pattern(FIRMWARE_SIZE, 0x31)
    write_srecords(os.path.join(folder, "firmware.s19"), FIRMWARE_ADDRESS, new)
    write_atomically(os.path.join(folder, "new_flash.bin"), new)
    # The radio's flash from address 0: the boot block, then the older firmware.
    old = b"\xFF" * SECTOR + pattern(FIRMWARE_SIZE, 0x90)
    write_atomically(os.path.join(folder, "old_flash.bin"), old)
    port = free_port()
    write_atomically(os.path.join(folder, "Demo.cfg"), config(port).encode())
    print(port)


def read_srecords(path):
    blocks = {}
    with open(path) as lines:
        for line in lines:
            line = line.strip()
            if len(line) < 4 or line[0] != "S" or line[1] not in "123":
                continue
            width = {"1": 2, "2": 3, "3": 4}[line[1]]
            body = bytes.fromhex(line[2:])
            address = int.from_bytes(body[1:1 + width], "big")
            blocks[address] = body[1 + width:-1]
    if not blocks:
        return 0, b""
    start = min(blocks)
    end = max(a + len(d) for a, d in blocks.items())
    image = bytearray(b"\xFF" * (end - start))
    for address, data in blocks.items():
        image[address - start:address - start + len(data)] = data
    return start, bytes(image)


def compare(binary, records):
    with open(binary, "rb") as f:
        expected = f.read()
    _, actual = read_srecords(records)
    if actual[:len(expected)] == expected:
        return 0
    first = next((i for i, (a, b) in enumerate(zip(expected, actual)) if a != b), min(len(expected), len(actual)))
    print(f"demo: the read-back ({len(actual)} bytes) differs from the image ({len(expected)} bytes) "
          f"at offset 0x{first:X}", file=sys.stderr)
    return 1


def main(argv):
    if len(argv) == 4 and argv[1] == "--compare":
        return compare(argv[2], argv[3])
    if len(argv) == 2:
        write_folder(argv[1])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
