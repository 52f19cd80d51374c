"""The exceptions of the idprom package and how the core's failures map to them.

Every failure is an :class:`Error`; its subclasses follow the kinds of
failure of the ``idprom`` tool (and its exit statuses)::

    Error                                  any failure (bad arguments: exit status 2)
    +-- NotFoundError (LookupError)        the field is absent (1)
    +-- MalformedError                     the image does not decode (3)
    +-- NoRoomError                        the change does not fit (4)
    +-- InvalidValueError (ValueError)     the value is not valid for the type (6)
    +-- FileError (OSError)                reading or writing failed (5); .errno
        +-- LockedError                    another edit held the lock past wait=
        +-- ConflictError                  the stored image changed since it was read

``NotFound``, ``Malformed``, ``NoRoom`` and ``InvalidValue`` are the earlier
names of the first four.
"""

from typing import Optional


class Error(Exception):
    """A failure, with the message the idprom tool would print.

    ``status`` is the library's status value (an ``ERR_*`` number) when the
    library refused an edit, otherwise the exit status the tool gives for
    the same failure; ``exit_status`` is always the latter.
    """

    def __init__(self, message: str, status: int, exit_status: Optional[int] = None):
        super().__init__(message)
        self.status = status
        self.exit_status = status if exit_status is None else exit_status

    def __str__(self) -> str:
        return str(self.args[0])


class NotFoundError(Error, LookupError):
    """The field is absent (exit status 1)."""


class MalformedError(Error):
    """The image does not decode (exit status 3)."""


class NoRoomError(Error):
    """The change does not fit in the image (exit status 4)."""


class InvalidValueError(Error, ValueError):
    """The value is not valid for the type (exit status 6)."""


class FileError(Error, OSError):
    """Reading or writing the file or part failed (exit status 5); ``errno``
    is the error number of the failed call, or None."""

    def __init__(self, message: str, status: int, exit_status: Optional[int] = None):
        super().__init__(message, status, exit_status)
        self.errno = None


class LockedError(FileError):
    """Another edit held the lock longer than ``wait`` seconds; nothing was written."""


class ConflictError(FileError):
    """The stored image changed after it was read (another edit saved it);
    nothing was written.  ``save(force=True)`` writes over it."""


NotFound, Malformed, NoRoom, InvalidValue = NotFoundError, MalformedError, NoRoomError, \
    InvalidValueError

CLASSES = (Error, NotFoundError, MalformedError, NoRoomError, InvalidValueError, FileError,
           LockedError, ConflictError)
# Shown, in tracebacks and help(), as the package's own.
for _cls in CLASSES:
    _cls.__module__ = "idprom"


def from_failure(name: str, exit_status: int, message: str, library_status: Optional[int],
                 errno: Optional[int]) -> Error:
    """The exception for a failure of the core (called by the extension module)."""
    status = exit_status if library_status is None else library_status
    exc = globals()[name](message, status, exit_status)
    if errno is not None:
        exc.errno = errno
    return exc
