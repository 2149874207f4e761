"""Console tracing, the log and identifiers."""
from . import Helper

__all__ = ["Helper"]
