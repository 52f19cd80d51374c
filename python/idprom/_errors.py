"""The exceptions of the idprom package and how the core's failures map to them."""

from typing import Optional

# The idprom tool's exit statuses, which the core reports with each failure.
EXIT_ABSENT = 1
EXIT_USAGE = 2
EXIT_MALFORMED = 3
EXIT_NO_ROOM = 4
EXIT_IO = 5
EXIT_VALUE = 6


class Error(Exception):
    """A failure, with the message the idprom tool would print.

    ``status`` is the library's status value (an ``IDPROM_ERR_*`` number)
    when the library refused an edit, otherwise the exit status the tool
    gives for the same failure; ``exit_status`` is always the latter.
    """

    def __init__(self, message: str, status: int, exit_status: Optional[int] = None):
        super().__init__(message)
        self.status = status
        self.exit_status = status if exit_status is None else exit_status


class NotFound(Error):
    """The field is absent (exit status 1)."""


class Malformed(Error):
    """The image does not decode (exit status 3)."""


class NoRoom(Error):
    """The change does not fit in the image (exit status 4)."""


class InvalidValue(Error):
    """The value is not valid for the type (exit status 6)."""


# Shown, in tracebacks and help(), as the package's own.
for _cls in (Error, NotFound, Malformed, NoRoom, InvalidValue):
    _cls.__module__ = "idprom"

_BY_EXIT = {EXIT_ABSENT: NotFound, EXIT_MALFORMED: Malformed, EXIT_NO_ROOM: NoRoom,
            EXIT_VALUE: InvalidValue}


def from_failure(exit_status: int, message: str, library_status: Optional[int]) -> Error:
    """The exception for a failure of the core (called by the extension module)."""
    cls = _BY_EXIT.get(exit_status, Error)
    status = exit_status if library_status is None else library_status
    return cls(message, status, exit_status)
