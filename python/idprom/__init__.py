"""Read, edit, list and write back IDPROM images.

The identification records boards keep in serial EEPROMs (part numbers,
serial numbers, MAC address blocks), with the same type names, value texts
and safe write-back as the ``idprom`` tool::

    import idprom
    img = idprom.Image.open("board.bin")
    print(img.get("serial"))             # the text `idprom get` prints
    img.set("serial", "SN0042")          # read as `idprom set` reads it
    img.save()                           # atomic, verified, as the tool writes

A type is a short name (``"serial"``), a label, a unique prefix of a name,
or a code (``0xc1``, ``"0xc1"``), resolved as the tool resolves it.  Errors
raise :class:`Error` or one of its subclasses with the tool's message.
"""

import json
import os
from typing import Any, Dict, Iterator, List, NamedTuple, Optional, Tuple, Union

from . import _idprom
from ._errors import Error, InvalidValue, Malformed, NoRoom, NotFound

# The library's statuses, which Error.status holds when the library refused
# an edit (ERR_NO_ROOM, ERR_NOT_FOUND, ...).
globals().update({k: v for k, v in vars(_idprom).items() if k.startswith("ERR_")})

__all__ = ["Image", "Field", "Error", "NotFound", "NoRoom", "Malformed", "InvalidValue",
           "checksum", "crc16", "mac_text", "mac_bytes", "types"]

TypeArg = Union[str, int]
Value = Union[str, bytes, bytearray, memoryview, int]
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
        if type(value) is not kind or (kind is int and not 0 < value < 2**32):
            raise Error(f"{key}={value!r}: {'a positive int' if kind is int else kind.__name__}", 2)
        part[key] = value
    return part


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
    (:class:`Malformed`).
    """

    __slots__ = ("_data", "_path", "_offset", "_part")

    def __init__(self, data: Union[bytes, bytearray, memoryview]) -> None:
        """An image holding a copy of ``data`` (at most 65536 bytes)."""
        self._data = _bytes(data)
        _idprom.check_size(len(self._data))
        self._path: Optional[str] = None
        self._offset = 0
        self._part: Dict[str, Any] = {}

    @classmethod
    def open(cls, path: PathArg, offset: int = 0, length: Optional[int] = None,
             **part: Any) -> "Image":
        """The image in a file or device, or in the window of ``length`` bytes
        (default: to the end) from ``offset``.  :meth:`save` without a path
        writes it back to the same place.

        ``path`` may name a serial EEPROM on an I2C bus, ``"i2c:BUS:ADDR"``,
        whose part is declared as the tool's options declare it: ``chip``
        (``"24c02"``, see ``idprom chips``), or ``size``, ``page_size`` and
        ``address_width`` (1 or 2), with ``write_cycle_ms`` to override the
        part's write-cycle deadline; ``wp_gpio`` (``"CHIP:LINE"``) and
        ``wp_active_low`` name its write-protect line.  :meth:`save` back to
        the part uses the same declaration."""
        path = os.fspath(path)
        checked = _part(part)
        img = cls(_idprom.read(path, offset, length, checked))
        img._path, img._offset, img._part = path, offset, checked
        return img

    @classmethod
    def new(cls, size: int) -> "Image":
        """A blank image of ``size`` bytes (1 to 65536): an end marker, then 0xff."""
        if not 1 <= size <= _idprom.MAX_IMAGE:
            raise Error(f"size {size}: 1 to {_idprom.MAX_IMAGE} bytes", 2)
        return cls(b"\xff" * size)

    @classmethod
    def build(cls, description: Dict[str, Any], size: Optional[int] = None) -> "Image":
        """An image from a description like :meth:`describe` returns (what
        ``idprom build`` reads); ``size`` overrides the description's."""
        return cls(_idprom.build(json.dumps(description), size))

    def __bytes__(self) -> bytes:
        return self._data

    def __len__(self) -> int:
        return len(self._data)

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Image) and other._data == self._data

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        where = f" from {self._path!r}" if self._path is not None else ""
        return f"<idprom.Image of {len(self._data)} bytes{where}>"

    def fields(self) -> List[Field]:
        """Every entry in image order, up to the end marker (or the first
        entry that does not decode)."""
        return [Field._make(t) for t in _idprom.fields(self._data)]

    def __iter__(self) -> Iterator[Field]:
        return iter(self.fields())

    def get(self, type: TypeArg, instance: int = 1) -> Optional[str]:
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
        type's width.  With ``create=False`` an absent field raises
        :class:`NotFound` instead of being added.  Refused as ``idprom
        set`` without ``--force`` refuses: an instance past the last one
        plus one (:class:`NotFound`), an edit that would change bytes after
        the end marker (:class:`Malformed`) or leave no end marker
        (:class:`NoRoom`)."""
        if isinstance(value, (bytearray, memoryview)):
            value = bytes(value)
        self._data, offset, length = _idprom.set(self._data, type, value, instance, create)
        return offset, length

    def delete(self, type: TypeArg, instance: int = 1) -> Tuple[int, int]:
        """Deletes a field (later fields move up); returns the dirty region."""
        self._data, offset, length = _idprom.delete(self._data, type, instance)
        return offset, length

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
             backup: Union[PathArg, bool, None] = None, **part: Any) -> Tuple[int, int]:
        """Writes the image back with the tool's rules and returns the
        region of the file written (``(0, 0)`` when it already held it).

        ``path`` defaults to the file the image was opened from and
        ``offset`` to the offset it was opened at (0 for another path).  A
        new file is created; an existing one keeps its size, and the image
        must fit in it at ``offset``.  A regular file the image's size is
        replaced atomically (a temporary file, flushed, read back, renamed,
        owner and mode kept); a window of a larger file, a device or a
        pseudo file is written in place after a backup (``backup``: its
        path, default a new file in ~/.local/state/idprom/backups; False for
        none), only the changed bytes, read back and compared, the original
        restored on any failure.  An ``"i2c:BUS:ADDR"`` part is written as
        the tool writes one: only the pages holding changed bytes, each
        polled and read back, the original restored on failure; its part is
        declared with the keywords of :meth:`open` (by default those it was
        opened with).  Returns only after the write is durable and verified;
        on failure raises :class:`Error` and the file holds its original
        bytes."""
        checked = _part(part)
        if path is None:
            if self._path is None:
                raise Error("save: the image was not opened from a file; give a path", 2)
            path = self._path
            checked = {**self._part, **checked}
            if offset is None:
                offset = self._offset
        path = os.fspath(path)
        no_backup = backup is False
        backup_path = "" if backup is None or backup is False else os.fspath(backup)
        if backup is True:
            backup_path = ""
        written = _idprom.save(path, self._data, offset or 0, backup_path, no_backup, checked)
        return written[0], written[1]


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
    :class:`InvalidValue` for anything else."""
    return _idprom.mac_bytes(text)


def types() -> List[Tuple[int, Optional[str], Optional[str]]]:
    """The known types as (code, short name, label), as ``idprom types``
    lists them; name and label are None for types the listing hides."""
    return _idprom.types()
