"""The package against the tool: same texts, bytes, dirty regions and errors."""
import doctest, errno, fcntl, json, os, pathlib, re, shutil, subprocess, sys, time
import pytest
import idprom

SRC = pathlib.Path(os.environ.get("IDPROM_SOURCE", pathlib.Path(__file__).parents[2]))
TOOL = os.environ.get("IDPROM_TOOL", "idprom")
SAMPLE = SRC / "examples" / "sample.bin"


def tool(*args, input=None):
    return subprocess.run([TOOL, *map(str, args)], capture_output=True, input=input)


@pytest.fixture
def img():
    return idprom.Image.open(SAMPLE)


def test_reads_as_the_tool_prints(img):
    for method, args in [("listing", ["show"]), ("basic_listing", ["show", "--basic"]),
                         ("dump", ["dump"]), ("enhanced_dump", ["dump", "--ascii"])]:
        assert getattr(img, method)() == tool(*args, SAMPLE).stdout.decode(), method
    assert img.describe() == json.loads(tool("show", "--json", SAMPLE).stdout)
    seen = {}
    for f, d in zip(img, img.describe()["entries"], strict=True):
        seen[f.type] = seen.get(f.type, 0) + 1
        got = tool("get", SAMPLE, hex(f.type), "--instance", seen[f.type]).stdout.decode()
        assert (f.text + "\n", f.offset, f.name or "", f.label or "", f.value.hex()) == \
               (got, d["offset"], d["name"], d["label"], d["hex"])
        assert img.get_text(f.type, seen[f.type]) == f.text and img.get_bytes(f.name) == f.value
    assert img.get("pid", 2) is None and img.get("slots") is None
    assert img.get_int("mac-block-size") == 64 == img.get(0x43) == img["mac-block-size"]
    assert (img.get("pid"), img.get("power"), "pid" in img, "slots" in img) == \
        ("LC-TEST-01", img.get_text("power"), True, False)


def test_value_kinds_and_save(tmp_path, monkeypatch, img):
    twin = idprom.Image(bytes(img))
    assert img.set("mac-block-size", 32) == twin.set("mac-block-size", "32")
    img["pid"] = bytearray(b"X" * 20)
    assert img.get_bytes("pid") == b"X" * 20
    assert img.set("pid", twin.get_bytes("pid")) and bytes(img) == bytes(twin)
    path = tmp_path / "new.bin"
    assert img.save(path) == (0, 256) and path.read_bytes() == bytes(img)
    assert idprom.Image.open(path).save() == (0, 0)  # nothing changed, nothing written
    # a window: the image at 0x100 of a larger file, written back there only
    monkeypatch.setenv("XDG_STATE_HOME", str(tmp_path / "state"))
    path.write_bytes(b"\x11" * 256 + bytes(img) + b"\x22" * 16)
    window, stale = idprom.Image.open(path, 0x100, 256), idprom.Image.open(path, 0x100, 256)
    assert window == img and window.set("pcb-serial", "SN7") == (10, 11)
    assert window.save(backup=True) == (0xc, 9)  # only the bytes that changed
    assert len(list((tmp_path / "state" / "idprom" / "backups").glob("*.bin"))) == 1
    assert path.read_bytes() == b"\x11" * 256 + bytes(window) + b"\x22" * 16
    stale["pcb-serial"] = "SN8"  # read before window's save: refused, then forced
    with pytest.raises(idprom.ConflictError, match=f"^{path}: changed since it was read"):
        stale.save(backup=False)
    assert path.read_bytes()[0x100:0x200] == bytes(window)
    assert stale.save(force=True, backup=False) and stale.save() == (0, 0)
    with idprom.edit(path, 0x100, 256, backup=False) as held:
        assert held == stale
        held["pcb-serial"] = "SN9"
    with pytest.raises(KeyError), idprom.edit(path, 0x100, 256) as held:
        held["pcb-serial"] = "SNX"  # not written: the block raises
        del held["slots"]
    assert idprom.Image.open(path, 0x100)["pcb-serial"] == "SN9"
    before = path.read_bytes()
    with pytest.raises(idprom.Error, match="runs past the end"):
        idprom.Image.new(300).save(path, 0x100)
    assert path.read_bytes() == before
    assert idprom.Image.new(4).check() == [] and bytes(idprom.Image.new(4)) == b"\xff" * 4


ERRORS = [
    (lambda i: i.get("bogus"), idprom.Error, 2, "unknown type 'bogus'"),
    (lambda i: i.get(0), idprom.Error, 2, ""),
    (lambda i: i.get("pid", 0), idprom.Error, 2, "instance counts from 1"),
    (lambda i: i.get_int("pid"), idprom.Error, 2, "PID (0xcb) is not an integer-valued type"),
    (lambda i: i.set("pcb-serial", "x" * 64), idprom.InvalidValueError, 6,
     "for PCB Serial Number (0xc1): expected text of 1 to 63 characters"),
    (lambda i: i.set("mac-block-size", 65536), idprom.InvalidValueError, 6, "expected 0 to 65535"),
    (lambda i: idprom.Image.open("x\0y"), ValueError, None, "'x\\x00y': contains a NUL"),
    (lambda i: idprom.Image.open("\ud800"), ValueError, None, "not a file name this"),
    (lambda i: idprom.Image.open(3), TypeError, None, "a path is a str, bytes or os.PathLike"),
    (lambda i: i.set("pid", "\ud800"), ValueError, None, "not valid Unicode text"),
    (lambda i: i.set("pid", 1.5), TypeError, None, "a value is a str"),
    (lambda i: idprom.Image.open(SAMPLE, "0"), TypeError, None, "offset='0': expected an int"),
    (lambda i: idprom.Image.open("i2c:1:0x50", chip=2402), TypeError, None, "chip=2402: expected"),
    (lambda i: i.save("/nonexistent/x"), idprom.FileError, 5, "/nonexistent/x: creating a"),
    (lambda i: i.set("hw-rev", b"\x01"), idprom.InvalidValueError, idprom.ERR_LENGTH_MISMATCH,
     "Hardware Revision (0x41): the value has the wrong length"),
    (lambda i: i.delete("pid", 2), idprom.NotFoundError, idprom.ERR_NOT_FOUND,
     "PID (0xcb): no such field instance 2"),
    (lambda i: i.set("slots", "1", create=False), idprom.NotFoundError, idprom.ERR_NOT_FOUND_NO_CREATE, ""),
    (lambda i: idprom.Image.new(8).set("pid", "ABCDEFGH"), idprom.NoRoomError, idprom.ERR_NO_ROOM,
     "PID (0xcb): no room for a new field and the end marker after it"),
    (lambda i: idprom.Image(bytes(i)[:70]).set("vid", "V02"), idprom.MalformedError, 3,
     "image: offset 0x003d: entry of PID (0xcb): its 18-byte value runs past"),
    (lambda i: idprom.Image(b"\xff" * 65537), idprom.MalformedError, 3, "larger than 65536 bytes"),
    (lambda i: idprom.Image.open("/nonexistent/x"), idprom.FileError, 5, "cannot open"),
    (lambda i: idprom.Image.build({"entries": [{"type": "pid"}]}), idprom.Error, 2, ""),
    (lambda i: idprom.mac_bytes("001a.2b3c.4d5"), idprom.InvalidValueError, 6, "not a MAC address"),
]


@pytest.mark.parametrize("call, cls, status, message", ERRORS)
def test_errors(img, call, cls, status, message):
    before = bytes(img)
    with pytest.raises(Exception) as caught:
        call(img)
    assert type(caught.value) is cls  # I/O failures: OSError, errno of the failed call
    assert isinstance(caught.value, OSError) == (cls is idprom.FileError)
    assert not isinstance(caught.value, OSError) or caught.value.errno == errno.ENOENT
    assert getattr(caught.value, "status", None) == status and message in str(caught.value)
    assert bytes(img) == before


def test_every_truncation_reads_as_far_as_it_decodes(img):
    full, data, used = img.fields(), bytes(img), img.describe()["used"]
    for n in range(len(data)):
        cut = idprom.Image(data[:n])
        assert cut.fields() == full[:len(cut.fields())]
        problems = cut.check()
        assert bool(problems) == (n == 0 or (n < used and n not in {f.offset for f in full}))
        if problems:
            pytest.raises(idprom.MalformedError, cut.set, "vid", "V09")


def test_module_functions(img):
    assert idprom.Image.build(img.describe()) == img
    sums = tool("checksum", SAMPLE).stdout.decode()
    assert sums == f"checksum:   0x{idprom.checksum(bytes(img)):08x}\n" \
                   f"crc-16:     0x{idprom.crc16(bytes(img)):04x}\n"
    mac = bytes.fromhex("001a2b3c4d5e")
    texts = [idprom.mac_text(mac, form) for form in ("dotted", "colon", "plain")]
    assert texts == ["001a.2b3c.4d5e", "00:1a:2b:3c:4d:5e", "001a2b3c4d5e"]
    assert all(idprom.mac_bytes(t.upper()) == mac for t in texts)
    rows = tool("types").stdout.decode().splitlines()[1:]
    assert [(c, n or "-") for c, n, _ in idprom.types()] == \
           [(int(r[:6], 16), r[45:63].strip()) for r in rows]


def test_readme_example_and_inventory(tmp_path, monkeypatch):
    readme = (SRC / "README.md").read_text()
    block = re.search(r"## Use from Python\n.*?```python\n(.*?)```", readme, re.S).group(1)
    (tmp_path / "examples").mkdir()
    shutil.copy(SAMPLE, tmp_path / "examples")
    monkeypatch.chdir(tmp_path)
    test = doctest.DocTestParser().get_doctest(block, {}, "README", "README.md", 0)
    assert doctest.DocTestRunner().run(test).failed == 0
    assert doctest.testmod(idprom).failed == 0  # the examples in the docstrings
    (tmp_path / "examples" / "broken.bin").write_bytes(SAMPLE.read_bytes()[:70])
    run = subprocess.run([sys.executable, SRC / "examples" / "inventory.py", "examples"],
                         capture_output=True, text=True)
    assert (run.returncode, run.stdout) == (0, "file,pid,serial,base_mac,mac_block_size\n"
        "board.bin,LC-TEST-01,SN000000042,0200.0000.0100,32\nbroken.bin,,SN000000001,,\n"
        "sample.bin,LC-TEST-01,SN000000002,0200.0000.0100,64\n")
    assert "broken.bin: offset 0x003d: entry of PID (0xcb)" in run.stderr


I2C = [  # the part's keywords for open() and save(); the error's exit status and text
    (dict(chip="24c02"), None),
    (dict(size=256, page_size=8, address_width=1, wp_gpio="gpiochip0:17"), None),
    ({}, (2, "the part is not declared")),
    (dict(chip="24c02", size=256), (2, "exclude each other")),
]


@pytest.mark.parametrize("part, error", I2C)
def test_i2c_part_through_the_simulated_one(tmp_path, monkeypatch, part, error):
    for name, value in [("IDPROM_I2C_SIMULATE", tmp_path), ("XDG_STATE_HOME", tmp_path / "s")]:
        monkeypatch.setenv(name, str(value))
    monkeypatch.chdir(tmp_path)
    memory = tmp_path / "i2c-1-0x50.bin"
    shutil.copy(SAMPLE, memory)
    if error:
        with pytest.raises(idprom.Error) as caught:
            idprom.Image.open("i2c:1:0x50", **part)
        assert (caught.value.exit_status, error[1] in str(caught.value)) == (error[0], True)
        return
    img = idprom.Image.open("i2c:1:0x50", **part)
    assert bytes(img) == SAMPLE.read_bytes()
    img.set("chassis-serial", "SN000012345")
    assert img.save() == (0x5e, 5) and img.save("i2c:1:0x50", **part) == (0, 0)
    assert memory.read_bytes() == bytes(img) and not (tmp_path / "i2c:1:0x50").exists()
    backups = [p.name for p in (tmp_path / "s" / "idprom" / "backups").glob("*.bin")]
    assert [n.split("@")[0] for n in backups] == [f"{tmp_path}/i2c:1:0x50".replace("/", "%2F")]


def test_open_waits_for_an_edits_lock(tmp_path):
    """A read waits up to wait= seconds for an edit's lock on the file, then
    raises LockedError; once the lock is gone it reads."""
    path = tmp_path / "board.bin"
    shutil.copy(SAMPLE, path)
    with open(path, "rb") as edit:
        fcntl.flock(edit, fcntl.LOCK_EX)
        for wait in (0, 0.4):
            started = time.monotonic()
            with pytest.raises(idprom.LockedError, match=rf"after {wait:g} s \(wait=SECONDS\)"):
                idprom.Image.open(path, wait=wait)
            assert wait <= time.monotonic() - started < wait + 3
    assert idprom.Image.open(path, wait=0).get_text("pid") == "LC-TEST-01"
    for wait in (-1, 86401):
        with pytest.raises(ValueError, match="expected 0 to 86400 seconds"):
            idprom.Image.open(path, wait=wait)


WORKER = """
import os, sys, time, idprom
how, path, field, value, start, tool = sys.argv[1:]
time.sleep(max(0.0, float(start) - time.time()))
try:
    if how == "tool":
        os.execv(tool, [tool, "set", path, f"{field}={value}", "--wait", "1"])
    elif how == "edit":
        with idprom.edit(path, wait=1) as img:
            img[field] = value
            time.sleep(0.02)
    else:
        img = idprom.Image.open(path)
        time.sleep(0.02)
        img[field] = value
        img.save(wait=1)
except (idprom.ConflictError, idprom.LockedError) as e:
    sys.exit(type(e).__name__)
"""


def test_concurrent_saves_lose_nothing(tmp_path):
    """Saves through open/save, edit and the tool at once: each save that
    returned is in the file; the others raised ConflictError or LockedError."""
    path = tmp_path / "board.bin"
    shutil.copy(SAMPLE, path)
    edits = {"pid": "LC-NEW-PID", "vid": "V09", "pcb-serial": "SN1", "chassis-serial": "CH3",
             "clei": "CLEI4", "hw-rev": "3.1", "power": "40", "mac-block-size": "32"}
    start, runs, twin = time.time() + 1.0, [], idprom.Image.open(path)
    for i, (field, value) in enumerate(edits.items()):
        how = ["save", "edit", "tool"][i % 3]
        args = [sys.executable, "-c", WORKER, how, path, field, value, str(start), TOOL]
        runs.append((how, field, subprocess.Popen(args, stderr=subprocess.PIPE)))
        twin[field] = value
    outcomes = [(how, field, run.wait(), run.stderr.read().decode()) for how, field, run in runs]
    img = idprom.Image.open(path)
    for how, field, status, err in outcomes:
        if status == 0:
            assert img.get_text(field) == twin.get_text(field), (how, field)
        else:
            assert err.strip() in ("ConflictError", "LockedError") or \
                (how, status) == ("tool", 5) and "locked" in err, err
