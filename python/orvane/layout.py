"""The grid layout engine."""
from . import Grid

__all__ = ["Grid"]
