// A hash map from 64-bit keys (graph vertices, search states) to small values, with open
// addressing. Clearing it costs as much as the entries it held, so one map serves many
// searches of very different sizes.
#pragma once

#include <cstdint>
#include <vector>

namespace orvane::routing {

template <typename T>
class VertexMap {
 public:
  VertexMap() { rehash(64); }

  /// The value of `key`, or nullptr.
  T* find(std::uint64_t key) {
    std::size_t i = slot(key);
    while (keys_[i] != EMPTY) {
      if (keys_[i] == key) return &values_[i];
      i = (i + 1) & mask_;
    }
    return nullptr;
  }
  const T* find(std::uint64_t key) const { return const_cast<VertexMap*>(this)->find(key); }

  /// The value of `key`, inserted as `init` when missing; `inserted` tells which.
  T& insert(std::uint64_t key, const T& init, bool& inserted) {
    if (2 * (used_.size() + 1) > keys_.size()) rehash(keys_.size() * 2);
    std::size_t i = slot(key);
    while (keys_[i] != EMPTY) {
      if (keys_[i] == key) {
        inserted = false;
        return values_[i];
      }
      i = (i + 1) & mask_;
    }
    keys_[i] = key;
    values_[i] = init;
    used_.push_back(static_cast<std::uint32_t>(i));
    inserted = true;
    return values_[i];
  }

  std::size_t size() const { return used_.size(); }

  /// Room for `n` keys without growing on the way.
  void reserve(std::size_t n) {
    std::size_t capacity = keys_.size();
    while (2 * n > capacity) capacity *= 2;
    if (capacity != keys_.size()) rehash(capacity);
  }

  void clear() {
    for (std::uint32_t i : used_) keys_[i] = EMPTY;
    used_.clear();
  }

 private:
  static constexpr std::uint64_t EMPTY = ~std::uint64_t{0};

  std::size_t slot(std::uint64_t key) const {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return static_cast<std::size_t>(key) & mask_;
  }

  void rehash(std::size_t capacity) {
    std::vector<std::uint64_t> keys(capacity, EMPTY);
    std::vector<T> values(capacity);
    std::vector<std::uint32_t> used;
    used.reserve(used_.size());
    keys_.swap(keys);
    values_.swap(values);
    mask_ = capacity - 1;
    const std::vector<std::uint32_t> old = std::move(used_);
    used_ = std::move(used);
    for (std::uint32_t i : old) {
      bool inserted = false;
      insert(keys[i], values[i], inserted);
    }
  }

  std::vector<std::uint64_t> keys_;
  std::vector<T> values_;
  std::vector<std::uint32_t> used_;
  std::size_t mask_ = 0;
};

}  // namespace orvane::routing
