"""Pools."""
from . import Pool

__all__ = ["Pool"]
