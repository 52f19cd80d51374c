"""Random images and random edit sequences, applied through the package and
through the tool on a file: the same bytes, dirty regions and errors."""
import os, re, subprocess
import idprom
from hypothesis import example, given, settings, strategies as st

TOOL = os.environ.get("IDPROM_TOOL", "idprom")
CODES = [code for code, _, _ in idprom.types()]

# Type codes of the catalogue and any other, values as text of every form,
# raw bytes, and text no form takes.
types = st.one_of(st.sampled_from(CODES), st.integers(0, 0x3FF))
texts = st.one_of(st.sampled_from(["0", "12", "0x20", "65536", "-1", "1.5", "hex:", "hex:0102", "hex:zz",
                                   "00:1a:2b:3c:4d:5e", "0300.0000.0000", "001a2b3c4d5e", "V02",
                                   "73-1234-05", "\\x41", "\\q"]),
                  st.text(st.characters(min_codepoint=0x20, max_codepoint=0x7E), max_size=12))
values = st.one_of(texts, st.binary(max_size=12))
instances = st.sampled_from([1, 1, 1, 2, 3])


@st.composite
def cases(draw):
    """An image built field by field through the package (or random bytes),
    and edits of its types and others, with its values and others."""
    if draw(st.integers(0, 3)) == 0:
        data = draw(st.binary(min_size=1, max_size=96))
    else:
        img = idprom.Image.new(draw(st.sampled_from([24, 64, 256, 256])))
        for code, value in draw(st.lists(st.tuples(types, values), max_size=10)):
            try:
                img.set(code, value)
            except idprom.Error:
                pass
        data = bytes(img)
    try:
        present = [(f.type, f.text) for f in idprom.Image(data)]
    except idprom.Error:
        present = []
    ours = st.sampled_from(present) if present else st.nothing()
    code = st.one_of(ours.map(lambda f: f[0]), ours.map(lambda f: f[0]), types)
    value = st.one_of(ours.map(lambda f: f[1]), values, values)
    edits = st.one_of(st.tuples(st.just("set"), code, value, instances, st.sampled_from([True, True, False])),
                      st.tuples(st.just("delete"), code, instances))
    return data, draw(st.lists(edits, min_size=1, max_size=4))


def through_python(img, edit):
    try:
        if edit[0] == "set":
            _, code, value, instance, create = edit
            return img.set(code, value, instance, create)
        return img.delete(edit[1], edit[2])
    except idprom.Error as e:
        return e.exit_status


def through_tool(path, edit):
    if edit[0] == "set":
        _, code, value, instance, create = edit
        value = "hex:" + value.hex() if isinstance(value, bytes) else value
        args = ["set", path, f"{code:#x}={value}", "--instance", str(instance)] + ([] if create else ["--no-create"])
    else:
        args = ["delete", path, f"{edit[1]:#x}", "--instance", str(edit[2])]
    dry = subprocess.run([TOOL, *args, "--dry-run"], capture_output=True, text=True)
    run = subprocess.run([TOOL, *args], capture_output=True)
    assert run.returncode == dry.returncode, (dry.stderr, run.stderr)
    if run.returncode != 0:
        return run.returncode
    region = re.search(r"dirty region: offset 0x([0-9a-f]+), (\d+) byte", dry.stdout)
    return (int(region[1], 16), int(region[2])) if region else (0, 0)


@settings(max_examples=60, deadline=None, derandomize=True, database=None)
@given(cases())
@example((b"\x0d\x04\xff", [("set", 0xCF, "0300.0000.0000", 1, True)]))  # a multicast Base MAC
@example((b"\x00", [("set", 0, "0", 1, True)]))  # a bad type before a malformed image
def test_python_and_the_tool_agree(tmp_path_factory, case):
    data, sequence = case
    path = tmp_path_factory.mktemp("img") / "board.bin"
    path.write_bytes(data)
    try:
        img = idprom.Image(data)
    except idprom.Error as e:
        img, sequence = None, [("open", e.exit_status)]
    for edit in sequence:
        if img is None:
            assert subprocess.run([TOOL, "show", path], capture_output=True).returncode == edit[1]
            break
        before = bytes(img)
        ours, theirs = through_python(img, edit), through_tool(path, edit)
        outcome = [r if isinstance(r, int) else "ok" for r in (ours, theirs)]
        assert (outcome[0], bytes(img)) == (outcome[1], path.read_bytes()), edit
        if isinstance(ours, int):  # a failure leaves the image as it was
            assert bytes(img) == before
        elif ours != theirs:  # the tool prints "no change" instead of a region
            assert theirs == (0, 0) and bytes(img) == before, (ours, theirs)
