"""Read, edit, list and write back IDPROM images.

The identification records boards keep in serial EEPROMs (part numbers,
serial numbers, MAC address blocks), with the same type names, value texts
and safe write-back as the ``idprom`` tool::

    import idprom
    with idprom.edit("board.bin") as img:   # locked until the block ends
        img["pcb-serial"] = "SN0042"        # read as `idprom set` reads it
    # written back here (atomic, verified), or not at all if the block raised

Values are data: ``img.get(t)`` is an int for integer types, a str for text
and grouped numbers (what ``idprom set`` reads back), bytes for opaque data,
and ``img.set(t, img.get(t))`` leaves the image as it was:

>>> img = Image.new(32)
>>> img.set("pcb-serial", "SN0042"), img.set("mac-block-size", 64)
((0, 14), (13, 4))
>>> img.get("pcb-serial"), img["mac-block-size"], "pid" in img
('SN0042', 64, False)
>>> Image.build(img.describe()) == img
True

A type is a short name (``"pcb-serial"``), a label, a unique prefix of a name,
or a code (``0xc1``, ``"0xc1"``), resolved as the tool resolves it.  Errors
raise :class:`Error` or one of its subclasses with the tool's message.
"""

import contextlib
import json
import os
from typing import Any, Dict, Iterator, List, NamedTuple, Optional, Tuple, Union

from . import _idprom
from ._errors import (ConflictError, Error, FileError, InvalidValue, InvalidValueError,
                      LockedError, Malformed, MalformedError, NoRoom, NoRoomError, NotFound,
                      NotFoundError)

# The library's statuses, which Error.status holds when the library refused
# an edit (ERR_NO_ROOM, ERR_NOT_FOUND, ...).
globals().update({k: v for k, v in vars(_idprom).items() if k.startswith("ERR_")})

__all__ = ["Image", "Field", "edit", "Error", "NotFoundError", "NoRoomError", "MalformedError",
           "InvalidValueError", "FileError", "LockedError", "ConflictError", "NotFound",
           "NoRoom", "Malformed", "InvalidValue", "checksum", "crc16", "mac_text", "mac_bytes",
           "types"]

TypeArg = Union[str, int]
Value = Union[str, bytes, bytearray, memoryview, int]
Data = Union[str, bytes, int]
PathArg = Union[str, "os.PathLike[str]"]


class Field(NamedTuple):
    """One entry of an image, in image order."""

    offset: int          #: where its first header byte lies
    type: int            #: the type code
    name: Optional[str]  #: the tool's short name, or None
    label: Optional[str]  #: the listing's label, or None for types it hides
    length: int          #: value bytes
    attribute: int       #: display attribute (variable-length types), else 0
    value: bytes         #: the stored bytes
    text: str            #: the value as `idprom get` prints it


# The keywords that declare an i2c:BUS:ADDR part, as the tool's --chip,
# --size, --page-size, --address-width, --write-cycle-ms, --wp-gpio and
# --wp-active-low declare it, with the type each takes.
_PART_KEYWORDS = {"chip": str, "size": int, "page_size": int, "address_width": int,
                  "write_cycle_ms": int, "wp_gpio": str, "wp_active_low": bool}


def _part(keywords: Dict[str, Any]) -> Dict[str, Any]:
    """The part keywords that were given (None: not given), checked."""
    part = {}
    for key, value in keywords.items():
        kind = _PART_KEYWORDS.get(key)
        if kind is None:
            raise TypeError(f"unexpected keyword argument {key!r}")
        if value is None:
            continue
        if type(value) is not kind:
            raise TypeError(f"{key}={value!r}: expected {'an' if kind is int else 'a'} "
                            f"{kind.__name__}")
        if kind is int and not 0 < value < 2**32:
            raise Error(f"{key}={value!r}: a positive int below 2**32", 2)
        part[key] = _text(key, value) if kind is str else value
    return part


def _text(name: str, text: str) -> str:
    """A str argument that the core can take: UTF-8 text without NUL."""
    try:
        text.encode()
    except UnicodeEncodeError:
        raise ValueError(f"{name} {text!r}: not valid Unicode text (a lone surrogate)") from None
    if "\0" in text:
        raise ValueError(f"{name} {text!r}: contains a NUL character")
    return text


def _path(path: Any) -> bytes:
    """A path argument as the bytes the system takes."""
    if not isinstance(path, (str, bytes, os.PathLike)):
        raise TypeError(f"a path is a str, bytes or os.PathLike, not {type(path).__name__}")
    path = os.fspath(path)
    try:
        raw = os.fsencode(path)
    except UnicodeEncodeError:
        raise ValueError(f"path {path!r}: not a file name this system can encode") from None
    if b"\0" in raw:
        raise ValueError(f"path {path!r}: contains a NUL character")
    return raw


def _number(name: str, value: Any, lowest: int, highest: int) -> int:
    if type(value) is not int:
        raise TypeError(f"{name}={value!r}: expected an int")
    if not lowest <= value <= highest:
        raise ValueError(f"{name}={value!r}: expected {lowest} to {highest}")
    return value


def _window(offset: Any, length: Any) -> Tuple[int, Optional[int]]:
    offset = _number("offset", offset, 0, 2**63 - 1)
    if length is not None:
        length = _number("length", length, 1, _idprom.MAX_IMAGE)
    return offset, length


def _wait(wait: Any) -> float:
    """Seconds to wait for another process's lock."""
    if type(wait) not in (int, float) or not 0 <= wait <= _idprom.MAX_WAIT:
        raise (TypeError if type(wait) not in (int, float) else ValueError)(
            f"wait={wait!r}: expected 0 to {_idprom.MAX_WAIT:g} seconds")
    return float(wait)


def _how(wait: Any, backup: Any, part: Dict[str, Any]) -> Dict[str, Any]:
    """How a save or an edit writes: the lock's wait, the backup, the part."""
    if backup is not None and not isinstance(backup, bool):
        backup = _path(backup)
    return {"wait": _wait(wait), "backup": backup, "part": part}


def _bytes(data: Any) -> bytes:
    if isinstance(data, (bytes, bytearray, memoryview)):
        return bytes(data)
    raise TypeError(f"image data must be bytes or bytearray, not {type(data).__name__}")


class Image:
    """An IDPROM image held in memory.

    Edits change the image in memory only and return their dirty region;
    :meth:`save` writes the image back.  A failed edit leaves the image as
    it was.  An image that does not decode to its end reads as far as it
    decodes (:meth:`check` says where it stops) and refuses edits
    (:class:`MalformedError`).

    It is also a mapping over type names: ``img["pid"]`` is ``img.get("pid")``
    (KeyError when absent), ``img["pid"] = v`` sets, ``del img["pid"]``
    deletes, ``"pid" in img`` tells whether the field is there; iterating
    gives the :class:`Field` entries.
    """

    __slots__ = ("_data", "_path", "_offset", "_part", "_read")

    def __init__(self, data: Union[bytes, bytearray, memoryview]) -> None:
        """An image holding a copy of ``data`` (at most 65536 bytes)."""
        self._data = _bytes(data)
        _idprom.check_size(len(self._data))
        self._path: Optional[bytes] = None
        self._offset = 0
        self._part: Dict[str, Any] = {}
        self._read: Optional[bytes] = None  # the bytes stored at _path when read

    @classmethod
    def open(cls, path: PathArg, offset: int = 0, length: Optional[int] = None, *,
             wait: float = 5.0, **part: Any) -> "Image":
        """The image in a file or device, or in the window of ``length`` bytes
        (default: to the end) from ``offset``.  :meth:`save` without a path
        writes it back to the same place.

        ``path`` may name a serial EEPROM on an I2C bus, ``"i2c:BUS:ADDR"``,
        whose part is declared as the tool's options declare it: ``chip``
        (``"24c02"``, see ``idprom chips``), or ``size``, ``page_size`` and
        ``address_width`` (1 or 2), with ``write_cycle_ms`` to override the
        part's write-cycle deadline; ``wp_gpio`` (``"CHIP:LINE"``) and
        ``wp_active_low`` name its write-protect line.  :meth:`save` back to
        the part uses the same declaration.  The read takes the file's
        shared lock, so that it never sees half of an edit written in place,
        waiting up to ``wait`` seconds for an edit's lock (else
        :class:`LockedError`).  To hold the lock from reading to writing
        back, use :func:`edit` instead."""
        path = _path(path)
        offset, length = _window(offset, length)
        checked = _part(part)
        img = cls(_idprom.read(path, offset, length, checked, _wait(wait)))
        img._path, img._offset, img._part, img._read = path, offset, checked, img._data
        return img

    @classmethod
    def new(cls, size: int) -> "Image":
        """A blank image of ``size`` bytes (1 to 65536): an end marker, then 0xff."""
        return cls(b"\xff" * _number("size", size, 1, _idprom.MAX_IMAGE))

    @classmethod
    def build(cls, description: Dict[str, Any], size: Optional[int] = None) -> "Image":
        """An image from a description like :meth:`describe` returns (what
        ``idprom build`` reads); ``size`` overrides the description's."""
        if not isinstance(description, dict):
            raise TypeError(f"a description is a dict, not {type(description).__name__}")
        if size is not None:
            size = _number("size", size, 1, _idprom.MAX_IMAGE)
        return cls(_idprom.build(json.dumps(description), size))

    def __bytes__(self) -> bytes:
        return self._data

    def __len__(self) -> int:
        return len(self._data)

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Image) and other._data == self._data

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        where = f" from {os.fsdecode(self._path)!r}" if self._path is not None else ""
        return f"<idprom.Image of {len(self._data)} bytes{where}>"

    def fields(self) -> List[Field]:
        """Every entry in image order, up to the end marker (or the first
        entry that does not decode)."""
        return _idprom.fields(self._data, Field)

    def __iter__(self) -> Iterator[Field]:
        return iter(self.fields())

    def get(self, type: TypeArg, instance: int = 1) -> Optional[Data]:
        """The value as data, or None when absent: an int for integer
        types, a str for text and grouped numbers (the text ``idprom get``
        prints, which :meth:`set` reads back), bytes for opaque data.

        >>> img = Image.new(32)
        >>> img.set("hw-rev", "1.2"), img.set("mac-block-size", 0x40)
        ((0, 4), (3, 4))
        >>> img.get("hw-rev"), img.get("mac-block-size"), img.get("pid")
        ('1.2', 64, None)
        """
        return _idprom.get(self._data, type, instance)

    def get_text(self, type: TypeArg, instance: int = 1) -> Optional[str]:
        """The value text as ``idprom get`` prints it, or None when absent."""
        return _idprom.get_text(self._data, type, instance)

    def get_bytes(self, type: TypeArg, instance: int = 1) -> Optional[bytes]:
        """The stored value bytes, or None when absent."""
        return _idprom.get_bytes(self._data, type, instance)

    def get_int(self, type: TypeArg, instance: int = 1) -> Optional[int]:
        """The integer of an integer-valued fixed-size type, or None when
        absent; :class:`Error` for other types."""
        return _idprom.get_int(self._data, type, instance)

    def set(self, type: TypeArg, value: Value, instance: int = 1,
            create: bool = True) -> Tuple[int, int]:
        """Sets a field and returns the dirty region ``(offset, length)``.

        A str is read as ``idprom set`` reads it (``"hex:..."`` for raw
        bytes), bytes are stored as they are, an int is stored in the
        type's width: whatever :meth:`get` returns sets the same bytes.
        With ``create=False`` an absent field raises
        :class:`NotFoundError` instead of being added.  Refused as ``idprom
        set`` without ``--force`` refuses: an instance past the last one
        plus one (:class:`NotFoundError`), an edit that would change bytes
        after the end marker (:class:`MalformedError`) or leave no end
        marker (:class:`NoRoomError`).

        >>> img = Image.new(16)
        >>> img.set("pid", "X" * 20)
        Traceback (most recent call last):
          ...
        idprom.NoRoomError: PID (0xcb): no room for a new field and the end marker after it: needs 23 bytes, 16 free
        """
        if isinstance(value, (bytearray, memoryview)):
            value = bytes(value)
        elif isinstance(value, str):
            value = _text("value", value)
        self._data, offset, length = _idprom.set(self._data, type, value, instance, create)
        return offset, length

    def delete(self, type: TypeArg, instance: int = 1) -> Tuple[int, int]:
        """Deletes a field (later fields move up); returns the dirty region."""
        self._data, offset, length = _idprom.delete(self._data, type, instance)
        return offset, length

    def __contains__(self, type: TypeArg) -> bool:
        return _idprom.get_bytes(self._data, type, 1) is not None

    def __getitem__(self, type: TypeArg) -> Data:
        value = self.get(type)
        if value is None:
            raise KeyError(type)
        return value

    def __setitem__(self, type: TypeArg, value: Value) -> None:
        self.set(type, value)

    def __delitem__(self, type: TypeArg) -> None:
        if type not in self:
            raise KeyError(type)
        self.delete(type)

    def listing(self) -> str:
        """The field listing, as ``idprom show`` prints it."""
        return _idprom.listing(self._data)

    def basic_listing(self) -> str:
        """The basic identification fields, as ``idprom show --basic`` prints them."""
        return _idprom.basic_listing(self._data)

    def dump(self) -> str:
        """The hex dump of the used part, as ``idprom dump`` prints it."""
        return _idprom.dump(self._data)

    def enhanced_dump(self) -> str:
        """Every byte (up to 65520) in upper-case hex with a text column,
        as ``idprom dump --ascii`` prints it."""
        return _idprom.enhanced_dump(self._data)

    def describe(self) -> Dict[str, Any]:
        """The description ``idprom show --json`` prints, as a dict."""
        return json.loads(_idprom.describe(self._data))

    def check(self) -> List[str]:
        """The problems ``idprom check`` finds ("offset 0x0010: ..."); empty
        when the image is sound."""
        return _idprom.check(self._data)

    def save(self, path: Optional[PathArg] = None, offset: Optional[int] = None, *,
             backup: Union[PathArg, bool, None] = None, force: bool = False,
             wait: float = 5.0, **part: Any) -> Tuple[int, int]:
        """Writes the image back with the tool's rules and returns the
        region of the image written (``(0, 0)`` when the file already held
        it).

        ``path`` defaults to the file the image was opened from and
        ``offset`` to the offset it was opened at (0 for another path).  A
        new file is created; an existing one keeps its size, and the image
        must fit in it at ``offset``.  A regular file the image's size is
        replaced atomically (a temporary file, flushed, read back, renamed,
        owner and mode kept); a window of a larger file, a device or a
        pseudo file is written in place after a backup (``backup``: its
        path; True or None: a new file in ~/.local/state/idprom/backups;
        False: none), only the changed bytes, read back and compared, the
        original restored on any failure.  An ``"i2c:BUS:ADDR"`` part is
        written as the tool writes one: only the pages holding changed
        bytes, each polled and read back, the original restored on failure;
        its part is declared with the keywords of :meth:`open` (by default
        those it was opened with).

        The write holds the file's lock, waiting up to ``wait`` seconds for
        another edit's (:class:`LockedError` after that).  Saved back where
        it was opened, the image is written only if the stored bytes are
        still those :meth:`open` read: when another edit saved in between,
        :class:`ConflictError` and nothing is written (``force=True``
        writes over it; :func:`edit` holds the lock throughout instead).
        Returns only after the write is durable and verified; on failure
        raises :class:`Error` and the file holds its original bytes."""
        checked = _part(part)
        if path is None:
            if self._path is None:
                raise Error("save: the image was not opened from a file; give a path", 2)
            path = self._path
        else:
            path = _path(path)
        offset = (self._offset if path == self._path else 0) if offset is None else offset
        offset = _number("offset", offset, 0, 2**63 - 1)
        how = _how(wait, backup, checked)
        back = path == self._path and offset == self._offset
        if back:
            how["part"] = {**self._part, **checked}
            if self._read is not None and not force:
                how["expect"] = self._read
        written = _idprom.save(path, self._data, offset, how)
        if back:
            self._read = self._data
        return written[0], written[1]


@contextlib.contextmanager
def edit(path: PathArg, offset: int = 0, length: Optional[int] = None, *, wait: float = 5.0,
         backup: Union[PathArg, bool, None] = None, **part: Any) -> Iterator[Image]:
    """Edits the image in a file, a window of one or an I2C part (``path``,
    ``offset``, ``length`` and the part keywords as :meth:`Image.open`
    takes them) under the file's lock, held from reading it to writing it
    back when the block ends, so no other edit can come in between::

        with idprom.edit("board.bin", wait=10) as img:
            img["pcb-serial"] = "SN0042"

    The write back is :meth:`Image.save`'s (``backup`` as it takes it).
    Waiting for another edit's lock gives up after ``wait`` seconds
    (:class:`LockedError`).  Nothing is written when the block raises."""
    offset, length = _window(offset, length)
    session = _idprom.Session(_path(path), offset, length, _how(wait, backup, _part(part)))
    try:
        img = Image(session.original())
        yield img
        session.commit(img._data)
    finally:
        session.close()


def checksum(data: Union[bytes, bytearray, memoryview]) -> int:
    """The 32-bit rotate-and-add checksum of the library."""
    return _idprom.checksum(_bytes(data))


def crc16(data: Union[bytes, bytearray, memoryview]) -> int:
    """The CRC-16 of the library."""
    return _idprom.crc16(_bytes(data))


def mac_text(mac: Union[bytes, bytearray, memoryview], form: str = "dotted") -> str:
    """Six bytes as MAC text: "dotted" (001a.2b3c.4d5e), "colon"
    (00:1a:2b:3c:4d:5e) or "plain" (001a2b3c4d5e)."""
    return _idprom.mac_text(_bytes(mac), form)


def mac_bytes(text: str) -> bytes:
    """The six bytes of MAC text in any of the three forms, either case;
    :class:`InvalidValueError` for anything else."""
    return _idprom.mac_bytes(text)


def types() -> List[Tuple[int, Optional[str], Optional[str]]]:
    """The known types as (code, short name, label), as ``idprom types``
    lists them; name and label are None for types the listing hides."""
    return _idprom.types()
