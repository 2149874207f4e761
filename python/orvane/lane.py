"""Lanes and the element types of their shapes."""
from . import ElementType, Lane

__all__ = ["Lane", "ElementType"]
