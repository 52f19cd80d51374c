#!/usr/bin/env python3
"""Writes examples/sample.bin: a 256-byte line-card IDPROM image used by the
examples, the tests and the README.  Its values are made up (serials SN...,
part numbers 100-..., a locally administered MAC address).  Run it again after changing an entry."""
import pathlib

def text(attr_len, s):
    n = attr_len & 0x3F
    b = s.encode().ljust(n, b"\0")
    assert len(b) == n
    return bytes([attr_len]) + b

entries = [
    bytes([0x0D, 0x04]),                                  # IDPROM Format Revision 4
    bytes([0x40, 0x05, 0x2C]),                            # Controller Type
    bytes([0x41, 0x01, 0x00]),                            # Hardware Revision 1.0
    bytes([0xC1]) + text(0x8B, "SN000000001"),            # PCB Serial Number
    bytes([0x82, 0x64, 0x00, 0x01, 0x01]),                # PCA Number 100-0001-01
    bytes([0x8A]) + b"A0\0\0",                            # PCA Revision
    bytes([0x88, 0x00, 0x00, 0x00, 0x00]),                # Deviation Number #1
    bytes([0xC0, 0x46, 0x00, 0x64, 0x00, 0x00, 0x02, 0x01]),  # Top Assy. 100-0002-01
    bytes([0x8D]) + b"B0\0\0",                            # Top Assy. Revision
    bytes([0xC6]) + text(0x8A, "CLEI000001"),             # CLEI Code
    bytes([0xCB]) + text(0x92, "LC-TEST-01"),             # PID
    bytes([0x89]) + b"V01\0",                             # Version Identifier
    bytes([0xC2]) + text(0x8B, "SN000000002"),            # Chassis Serial Number
    bytes([0xCF, 0x06, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00]),  # Base MAC Address
    bytes([0x43, 0x00, 0x40]),                            # MAC Addr. Block Size 64
    bytes([0xEB]) + text(0x86, "123456"),                 # ECI Number (text form)
    bytes([0xDA]) + text(0x80 | 38, "48-port 10/100/1000 Ethernet line card"),
    bytes([0xD7, 0x44, 0x00, 0x00, 0x0F, 0xA0]),          # Power Consumption 40 W
]

image = b"".join(entries) + b"\xff"
image += b"\xff" * (256 - len(image))
assert len(image) == 256
pathlib.Path(__file__).with_name("sample.bin").write_bytes(image)
