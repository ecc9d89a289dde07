#!/usr/bin/env python3
"""Files of the demo that scripts/demo.sh runs.

  demo_files.py FOLDER            writes the demo folder (the product file,
                                  kernels, firmware image, the scrambled
                                  update files of a newer firmware, the
                                  radio's older flash, Demo.cfg and the
                                  simulated radio's arguments, one a line, in
                                  radiosim.args) and prints the free TCP port
                                  for remote control, the working bit rate and
                                  the firmware image's sectors
  demo_files.py --compare BIN S19 exits 0 when the S-record file holds the
                                  bytes of BIN at its lowest address
"""
import os
import socket
import sys

KERNEL_ADDRESS = 0x20000000
KERNEL_FILES = ["calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19"]

# The simulated radio's flash: 6016 KB of NOR flash from 0x10000000, the
# sections of the product file below in sector-list order. Sector 8 holds the
# firmware's header (the pointer to its version), the LANGUAGE sector the
# language texts, the two CODEPLUG sectors the model code; the two large CODE
# sectors 16 and 17 take the firmware image of the headless run.
FLASH_BASE = 0x10000000
SECTIONS = [  # address, sector size, sectors, type
    (0x10000000, 0x2000, 8, "BOOT"),
    (0x10010000, 0x2000, 1, "CODE"),
    (0x10012000, 0x2000, 7, "DATA"),
    (0x10020000, 0x10000, 2, "CODE"),
    (0x10040000, 0x40000, 15, "DATA"),
    (0x10400000, 0x10000, 1, "LANGUAGE"),
    (0x10410000, 0x40000, 6, "DATA"),
    (0x10590000, 0x10000, 3, "DATA"),
    (0x105C0000, 0x10000, 2, "CODEPLUG"),
]
FLASH_SIZE = sum(size * count for _, size, count, _ in SECTIONS)
FIRMWARE_ADDRESS = 0x10020000  # CODE sectors 16-17
FIRMWARE_SIZE = 2 * 0x10000
FIRMWARE_SECTORS = "16-17"

# The working rate: data_rate 2 of the configuration.
DATA_RATE = 2
BIT_RATES = [115200, 230400, 460800]

# What Flash Software compares: the version that the pointer at 0x100100CC
# points 0x39 bytes before, and the model code 33 bytes after the marker "DI".
POINTER_AT = 0x100100CC
VERSION_OFFSET = 0x39
MODEL_MARKER = b"DI"
MODEL_CODE = bytes.fromhex("4E383231")
OLD_VERSION = b"V1.00.00"
NEW_VERSION = b"V1.01.00"

# The update files of the newer firmware, scrambled with the key 0xA7, and
# the images they hold.
SCRAMBLE_KEY = 0xA7
UPDATE_FILES = [  # text file, address of its image
    ("su.txt", 0x10010000),                    # the firmware's header and version
    ("p5E00cp0_VAD3_Vexa20.txt", 0x105D0000),  # the model code
    ("french_spanish.txt", 0x10400000),        # the language texts
]


def product_text():
    lines = "".join(f"        address = 0x{a:X}, sector_size = {size // 1024}K, num_sectors = {n}, type = {kind};\n"
                    for a, size, n, kind in SECTIONS)
    sectors = sum(n for _, _, n, _ in SECTIONS)
    return f"""# The simulated radio of the demo: {FLASH_SIZE // 1024} KB of NOR flash.
product VEXADEMO
{{
    processor Harrow;
    flash main size = {FLASH_SIZE // 1024}K type = nor vendor = Intel num_sectors = {sectors}
    {{
        partition = 0 boot size = {FLASH_SIZE // 1024}K type = code chip_select = 0;
{lines}    }}
}}
"""


def radiosim_arguments(image):
    layout = ",".join(f"{size // 1024}Kx{n}" for _, size, n, _ in SECTIONS)
    return ["--boot", "harrow", "--flash-base", f"0x{FLASH_BASE:X}", "--sectors", layout,
            "--flash-image", image, "--line-timing"]


def pattern(size, seed):
    return bytes((seed + i * 7 + (i >> 9)) & 0xFF for i in range(size))


def srecord(kind, address, data):
    width = 2 if kind == 0 else 4  # S0 has a 16-bit field; S3 and S7 32-bit addresses
    body = bytes([len(data) + width + 1]) + address.to_bytes(width, "big") + data
    checksum = 0xFF - (sum(body) & 0xFF)
    return f"S{kind}" + body.hex().upper() + f"{checksum:02X}\n"


def write_srecords(path, address, data, record=32):
    write_atomically(path, srecord_text(address, data, record))


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
        ("data_rate", DATA_RATE),
        ("data_rate_divisor", 0),
        ("remote_port", port),
        ("auto_erase_flash", 1),
        ("enable_remote_control", 1),
        ("flash_product_file", "vexademo.qlp"),
        ("flash_product_tag", "VEXADEMO"),
    ])


def put(image, base, address, data):
    image[address - base:address - base + len(data)] = data


def firmware_header(fill, pointer, version):
    """The firmware's first 0x300 bytes at 0x10010000: the pointer and the version it leads to."""
    header = bytearray([fill]) * 0x300
    put(header, 0x10010000, POINTER_AT, pointer.to_bytes(4, "big"))
    put(header, 0x10010000, pointer + VERSION_OFFSET, version)
    return bytes(header)


def model_area(fill, size):
    """The marker and the model code, 0x10 bytes into the area at 0x105D0000."""
    area = bytearray([fill]) * size
    put(area, 0x105D0000, 0x105D0010, MODEL_MARKER)
    put(area, 0x105D0000, 0x105D0010 + 33, MODEL_CODE)
    return bytes(area)


def update_images():
    """The newer firmware's three images, by update text file name."""
    language = b"".join(f"{i:03d} Bonjour/Hola/Ciao\n".encode() for i in range(16))
    return {
        "su.txt": firmware_header(0x11, 0x10010200, NEW_VERSION),
        "p5E00cp0_VAD3_Vexa20.txt": model_area(0x22, 0x100),
        "french_spanish.txt": language,
    }


def old_flash():
    """The radio's flash from its base: older firmware, the same model."""
    flash = bytearray(b"\xFF") * FLASH_SIZE
    put(flash, FLASH_BASE, 0x10010000, firmware_header(0x00, 0x10010100, OLD_VERSION))
    put(flash, FLASH_BASE, 0x105CFFF0, bytes(0x10) + model_area(0x00, 0x100))
    put(flash, FLASH_BASE, FIRMWARE_ADDRESS, pattern(FIRMWARE_SIZE, 0x90))
    return bytes(flash)


def scrambled(text):
    return bytes(b ^ SCRAMBLE_KEY for b in text)


def srecord_text(address, data, record=32):
    lines = [srecord(0, 0, b"demo")]
    for offset in range(0, len(data), record):
        lines.append(srecord(3, address + offset, data[offset:offset + record]))
    lines.append(srecord(7, address, b""))
    return "".join(lines).encode()


def write_folder(folder):
    seed = 1
    for name in KERNEL_FILES:
        write_srecords(os.path.join(folder, name), KERNEL_ADDRESS, pattern(2048, seed))
        seed += 40
    write_atomically(os.path.join(folder, "vexademo.qlp"), product_text().encode())
    new = pattern(FIRMWARE_SIZE, 0x31)
    write_srecords(os.path.join(folder, "firmware.s19"), FIRMWARE_ADDRESS, new)
    write_atomically(os.path.join(folder, "new_flash.bin"), new)
    images = update_images()
    for name, address in UPDATE_FILES:
        write_atomically(os.path.join(folder, name), scrambled(srecord_text(address, images[name])))
    image = os.path.join(folder, "old_flash.bin")
    write_atomically(image, old_flash())
    write_atomically(os.path.join(folder, "radiosim.args"), "".join(a + "\n" for a in radiosim_arguments(image)).encode())
    port = free_port()
    write_atomically(os.path.join(folder, "Demo.cfg"), config(port).encode())
    print(port, BIT_RATES[DATA_RATE], FIRMWARE_SECTORS)


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
