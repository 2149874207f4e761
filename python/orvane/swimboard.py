"""The diagram object and its exception kinds."""
from . import DanglingElementException, EmptySwimboardException, Swimboard, UnconnectedElementException

__all__ = ["Swimboard", "EmptySwimboardException", "UnconnectedElementException",
           "DanglingElementException"]
