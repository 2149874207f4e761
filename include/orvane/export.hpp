#pragma once

/// Marks a declaration as part of orvane's public ABI (libraries build with hidden visibility).
#define ORVANE_API __attribute__((visibility("default")))
