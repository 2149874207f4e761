"""Shapes and their connections."""
from . import Connection, Shape

__all__ = ["Shape", "Connection"]
