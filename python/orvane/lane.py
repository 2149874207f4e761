"""Lanes and the element types of their shapes; EventType names the kinds of event (their
triggers) beside them."""
from . import ElementType, EventTrigger, Lane

EventType = EventTrigger

__all__ = ["Lane", "ElementType", "EventType"]
