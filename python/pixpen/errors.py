"""Exceptions raised for failures the library reports through ``PixpenError``.

Every exception here carries the library's ``status`` (a :class:`Status`) and
its ``message``. The classes group the statuses the way callers branch:

- :class:`UnsupportedError`: a format or variant this library does not read
  (try another tool);
- :class:`CorruptDataError`: a malformed header or data that ends early;
- :class:`PixpenOSError` (also an :class:`OSError`): a file that cannot be
  opened, or a write that failed; a missing file is also a
  :class:`FileNotFoundError`, a forbidden one a :class:`PermissionError`;
- :class:`LimitError`: too large for the library or format, or out of memory
  (also a :class:`MemoryError`);
- :class:`BadArgumentError` (also a :class:`ValueError`).
"""

import enum
import errno
import os


class Status(enum.IntEnum):
    """``PixpenStatus`` from pixpen.h; the numbers are stable."""

    OK = 0
    CANNOT_OPEN = 1
    UNSUPPORTED_FORMAT = 2
    UNSUPPORTED_VARIANT = 3
    BAD_HEADER = 4
    TRUNCATED = 5
    TOO_LARGE = 6
    OUT_OF_MEMORY = 7
    IO = 8
    BAD_ARGUMENT = 9


class PixpenError(Exception):
    """A failure reported by libpixpen: ``status``, ``message`` and, for files,
    ``filename``."""

    def __init__(self, status, message, filename=None):
        super().__init__(message)
        try:
            self.status = Status(status)
        except ValueError:  # a newer library's status: keep the number
            self.status = status
        self.message = message
        self.filename = filename

    def __str__(self):
        if self.filename is not None:
            return "%s: %s" % (os.fsdecode(self.filename), self.message)
        return self.message


class UnsupportedError(PixpenError):
    pass


class UnsupportedFormatError(UnsupportedError):
    pass


class UnsupportedVariantError(UnsupportedError):
    pass


class CorruptDataError(PixpenError):
    pass


class BadHeaderError(CorruptDataError):
    pass


class TruncatedError(CorruptDataError):
    pass


class PixpenOSError(PixpenError, OSError):
    def __init__(self, status, message, filename=None):
        PixpenError.__init__(self, status, message, filename)
        # The C record has the system's text, not errno; recover the number
        # from the text so that OSError's attributes mean what they usually do.
        self.errno = _ERRNO_BY_TEXT.get(message)
        self.strerror = message

    __str__ = PixpenError.__str__


class CannotOpenError(PixpenOSError):
    pass


class PixpenFileNotFoundError(CannotOpenError, FileNotFoundError):
    pass


class PixpenPermissionError(CannotOpenError, PermissionError):
    pass


class WriteError(PixpenOSError):
    """A write, flush or close failed (a full disk, for instance)."""


class LimitError(PixpenError):
    pass


class TooLargeError(LimitError):
    pass


class PixpenMemoryError(LimitError, MemoryError):
    pass


class BadArgumentError(PixpenError, ValueError):
    pass


class ClosedImageError(ValueError):
    """An image was used after close(), like a closed file."""


_ERRNO_BY_TEXT = {
    os.strerror(number): number
    for number in (errno.ENOENT, errno.EACCES, errno.EPERM, errno.EISDIR, errno.ENOTDIR,
                   errno.ENOSPC, errno.EROFS, errno.EMFILE, errno.ENAMETOOLONG, errno.EIO)
}

_CLASS_BY_STATUS = {
    Status.CANNOT_OPEN: CannotOpenError,
    Status.UNSUPPORTED_FORMAT: UnsupportedFormatError,
    Status.UNSUPPORTED_VARIANT: UnsupportedVariantError,
    Status.BAD_HEADER: BadHeaderError,
    Status.TRUNCATED: TruncatedError,
    Status.TOO_LARGE: TooLargeError,
    Status.OUT_OF_MEMORY: PixpenMemoryError,
    Status.IO: WriteError,
    Status.BAD_ARGUMENT: BadArgumentError,
}


def error_from_status(status, message, filename=None):
    """The exception for a failed call's status and message."""
    cls = _CLASS_BY_STATUS.get(status, PixpenError)
    if cls is CannotOpenError:
        number = _ERRNO_BY_TEXT.get(message)
        if number == errno.ENOENT:
            cls = PixpenFileNotFoundError
        elif number in (errno.EACCES, errno.EPERM):
            cls = PixpenPermissionError
    if status == Status.OK:  # the call failed but said nothing: still an error
        message = message or "the library reported failure without a reason"
    return cls(status, message, filename)
