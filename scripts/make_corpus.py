#!/usr/bin/env python3
"""Writes the seed corpora fuzz/corpus/<harness>/ from the sample image and
the image shapes that matter (extension bytes, two-byte lengths, 0xFF filler,
a list running to the image's end, malformed and truncated entries, every
kind of catalogue row).  Each harness reads the parameters of its call from
the first bytes of an input (see the comment at the top of fuzz_<harness>.cpp);
the seeds put them in front of the images.  Run it again after changing a
shape; inputs that fuzzing found are kept beside these, under other names."""
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
SAMPLE = (ROOT / "examples" / "sample.bin").read_bytes()


def pad(b, n, fill=0xFF):
    return bytes(b) + bytes([fill]) * (n - len(b))


IMAGES = {
    "sample": SAMPLE,
    "empty": b"",
    "blank": pad(b"", 64),
    "ext-bytes": pad(bytes([0x00, 0x41, 0x12, 0x34,                # type 0x141
                            0x00, 0x00, 0xC5, 0x80, 0x03, 1, 2, 3,  # type 0x2C5, two-byte length
                            0x00, 0x01, 0x2A,                       # type 0x101
                            0xFF]), 32),
    "ext-to-end": bytes(16),
    "two-byte-length": pad(bytes([0xF3, 0x81, 0x02]) + bytes([0xAB]) * 0x102, 0x110),
    "long-types": pad(bytes([0xF4, 0xC0, 0x05, 1, 2, 3, 4, 5, 0xF0, 0x00, 0x01, 0x7A,
                             0xEF, 0x01, 0x00]), 24),
    "to-image-end": bytes([0x01, 0x05, 0xC1, 0x83, 0x61, 0x62, 0x63]),
    "marker-last": bytes([0x01, 0x05, 0xC1, 0x83, 0x61, 0x62, 0x63, 0xFF]),
    "malformed": pad(bytes([0x01, 0x05, 0x43, 0x01, 0x02, 0xC3, 0x00, 0x01, 0x07]), 16),
    "truncated": bytes([0x01, 0x05, 0xC3, 0x46, 1, 2, 3, 4, 5]),
    "numbers": pad(bytes([0x01, 0x05, 0x43, 0x01, 0x02, 0x83, 0x12, 0x34, 0x56, 0x78,
                          0x82, 0x73, 0x01, 0x2C, 0x05, 0x42, 0x41, 0x30, 0x87, 1, 2, 3, 4]), 32),
    "instances": pad(bytes([0x88, 0, 0, 0, 1, 0x01, 0x07, 0x88, 0, 0, 0, 2, 0x00, 0x88, 0, 0, 0, 3,
                            0x88, 0, 0, 0, 4]), 32),
    "eci-both": pad(bytes([0x8E, 0, 0, 0, 5, 0xEB, 0x83, 0x31, 0x32, 0x33]), 16),
    "catalogue": pad(bytes(
        [0x0B, 0x00, 0x0C, 0x01, 0x07, 0x12, 0x44, 0xDA, 0x50, 0x41, 0x01, 0x02, 0x4A, 0x55, 0x53,
         0x80, 0, 1, 0, 2, 0x81, 1, 2, 3, 4, 0x8B, 0xFF, 0xFF, 0xFF, 0xFE, 0x8C, 1, 2, 3, 4,
         0xC0, 0x46, 0x03, 0x20, 0x01, 0x23, 0x45, 0x07,
         0xC3, 0x06, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A,
         0xC7, 0x09, 1, 2, 3, 4, 5, 6, 7, 8, 9,
         0xC8, 0x11, 0xF6, 0x1E, 0x07, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7,
         0xCD, 0x03, 0xF6, 0x1E, 0x05,                      # count larger than the value
         0xC9, 0x44, 0x0A, 0x01, 0x02, 0x03,
         0xCC, 0x48, 1, 2, 3, 4, 5, 6, 7, 8,
         0xD2, 0x02, 0xAA, 0xBB, 0xD6, 0x04, 0x01, 0x90, 0x00, 0x64,
         0xD7, 0x44, 0x00, 0x00, 0x01, 0xF4, 0xD7, 0x02, 0x01, 0x02,  # power, short value
         0xDF, 0x05, 0, 73, 0, 4, 1, 0xE2, 0x06, 0, 73, 0, 4, 0xD2, 1,
         0xD0, 0x01, 0x00, 0xCA, 0x82, 0x41, 0x42, 0x08, 0x12,
         0xC1, 0x84, 0x41, 0x42, 0x07, 0x00]), 160),
}

# Parameter prefixes per harness: (name, bytes in front of the image).
PARAMS = {
    "decode": [
        ("c1-exact", [0x0C, 0xC1, 0x00, 0x0B]),            # instance 1, exact, out_size 11
        ("88-second", [0x10, 0x88, 0x00, 0x04]),           # instance 2
        ("141-ext", [0x09, 0x41, 0x00, 0x02]),             # one extension byte
        ("f3-large", [0x08, 0xF3, 0x81, 0x02]),            # out_size 0x102
    ],
    "edit": [
        # op, type, word_hi, word_lo, flags, pad, seed
        ("update-c1-shrink", [0x12, 0xC1, 0x00, 0x88, 0, 0, 0x41]),
        ("update-c1-grow", [0x12, 0xC1, 0x00, 0x9F, 0, 0, 0x42]),
        ("update-in-place", [0x12, 0x43, 0x00, 0x02, 0, 0, 0x12]),
        ("append-141", [0x16, 0x41, 0x00, 0x02, 0, 0, 0x12]),
        ("append-1c5", [0x16, 0xC5, 0x80, 0x03, 0, 0, 0x01]),
        ("append-f3-all-ones", [0x12, 0xF3, 0x00, 0x00, 1, 0, 0x07]),
        ("delete-88-second", [0x21, 0x88, 0, 0, 0, 0, 0]),
        ("delete-ext", [0x15, 0x41, 0, 0, 0, 0, 0]),
        ("update-32k", [0x12, 0xC1, 0x00, 0x88, 0, 0xF3, 0x41]),
        ("update-64k", [0x12, 0xC1, 0x00, 0x9F, 0, 0xFC, 0x41]),
    ],
    "print": [
        # mode, inst_hi, inst_lo, ntypes, size_hi, size_lo, seed, attr, rsize, rpos, types
        ("all", [0x00, 0, 0, 0, 0x00, 0x40, 0, 0x40, 40, 0]),
        ("first-exact-fit", [0xE0, 0, 1, 0, 0, 0, 1, 0x80, 80, 3]),
        ("include-c1-88", [0x01, 0, 0, 2, 0x01, 0x00, 2, 0xC0, 20, 5, 0xC1, 0x88]),
        ("exclude-callback", [0x8A, 0, 0, 2, 0x00, 0x10, 1, 0x00, 8, 9, 0x01, 0x07]),
        ("by-seed-full-list", [0x9D, 0, 0, 1, 0x00, 0x33, 3, 0x40, 200, 0, 0xCB]),
        ("instance-256", [0x40, 1, 0, 0, 0, 0x20, 4, 0x40, 0, 0]),
        ("never", [0x09, 0, 0, 1, 0x02, 0x00, 2, 0x40, 50, 60, 0xC1]),
    ],
    "dump": [
        # mode, size_hi, size_lo, span
        ("whole", [0x80, 0x00, 0x00, 0]),
        ("short-by-one", [0xC0, 0x00, 0x00, 0]),
        ("short-by-two", [0xE0, 0x00, 0x00, 0]),
        ("size-10", [0x00, 0x00, 0x09, 0]),
    ],
}

# Extra image per parameter set, alternating, beyond the sample and blank ones.
SHAPES_FOR = {
    "decode": ["ext-bytes", "two-byte-length"],
    "edit": ["instances", "ext-bytes"],
    "print": ["catalogue", "eci-both"],
    "dump": ["to-image-end", "two-byte-length"],
}

TEXTS = [
    ("dotted", b"001a.2b3c.4d5e"), ("colon", b"00:1a:2b:3c:4d:5e"),
    ("plain-upper", b"001A2B3C4D5E"), ("both-separators", b"00:1.2b3c.4d5e"),
    ("not-hex", b"zz5zz5.5z5z5z"), ("short-dotted", b"001a.2b"), ("short-colon", b"00:1a:2b:3c"),
    ("short-plain", b"001a2b"), ("empty", b""),
]


def write(harness, name, data):
    if harness == "dump":  # the dumps are part of the print harness
        harness, name = "print", "dump-" + name
    d = ROOT / "fuzz" / "corpus" / harness
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data)


def main():
    # The first parameter set meets every image; the others a few images
    # each, so that the corpora stay small.
    for harness, params in PARAMS.items():
        for k, (pname, prefix) in enumerate(params):
            names = list(IMAGES) if k == 0 else ["sample", "blank", SHAPES_FOR[harness][k % 2]]
            for iname in names:
                write(harness, f"{pname}--{iname}", bytes(prefix) + IMAGES[iname])
    # dump: lengths where the 16-bit rounding wraps (65521.., 65536..)
    write("dump", "wrap-to-nothing", bytes([0x80, 0, 0, 0xF3]) + SAMPLE[:64])
    write("dump", "wrap-to-some", bytes([0x80, 0, 0, 0xFE]) + SAMPLE[:64])


if __name__ == "__main__":
    main()
