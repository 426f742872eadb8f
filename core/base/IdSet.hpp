#pragma once
// A set of distinct ids kept back to back in one text, in the order they
// came, with an index by hash. Selecting thousands of works makes a few
// allocations rather than two per work, and letting them go frees as few.
// Taking an id out rewrites the set: meant for sets changed a few at a time.

#include "core/base/PositionIndex.hpp"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

class IdSet {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    iterator() = default;
    std::string_view operator*() const { return set_->at(position_); }
    iterator& operator++() {
      ++position_;
      return *this;
    }
    iterator operator++(int) {
      iterator was = *this;
      ++position_;
      return was;
    }
    bool operator==(const iterator& other) const { return position_ == other.position_; }

   private:
    friend class IdSet;
    iterator(const IdSet* set, std::uint32_t position) : set_(set), position_(position) {}
    const IdSet* set_ = nullptr;
    std::uint32_t position_ = 0;
  };
  using const_iterator = iterator;
  using value_type = std::string_view;

  IdSet() = default;
  IdSet(std::initializer_list<std::string_view> ids) { insert(ids.begin(), ids.end()); }
  template <std::forward_iterator It>
  IdSet(It first, It last) {
    insert(first, last);
  }

  // Ids that hold no repeats (a grid's rows), taken without looking for them.
  template <std::forward_iterator It>
  static IdSet distinct(It first, It last) {
    IdSet set;
    std::size_t bytes = 0;
    for (It it = first; it != last; ++it) bytes += std::string_view(*it).size();
    set.text_.reserve(bytes);
    set.ends_.reserve(std::size_t(std::distance(first, last)));
    for (; first != last; ++first) {
      set.text_.append(std::string_view(*first));
      set.ends_.push_back(std::uint32_t(set.text_.size()));
    }
    set.index_.build(std::uint32_t(set.ends_.size()), set.textAt());
    return set;
  }

  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  iterator begin() const { return {this, 0}; }
  iterator end() const { return {this, std::uint32_t(ends_.size())}; }

  bool contains(std::string_view id) const { return find(id) != PositionIndex::absent; }

  // Whether id was not in the set before.
  bool insert(std::string_view id) {
    if (contains(id)) return false;
    text_.append(id);
    ends_.push_back(std::uint32_t(text_.size()));
    index_.add(textAt());
    return true;
  }
  template <std::forward_iterator It>
  void insert(It first, It last) {
    std::size_t count = 0, bytes = 0;
    for (It it = first; it != last; ++it, ++count) bytes += std::string_view(*it).size();
    text_.reserve(text_.size() + bytes);
    ends_.reserve(ends_.size() + count);
    index_.reserve(std::uint32_t(ends_.size() + count), textAt());
    for (; first != last; ++first) insert(std::string_view(*first));
  }

  // How many were taken out: 0 or 1.
  std::size_t erase(std::string_view id) {
    const std::uint32_t p = find(id);
    if (p == PositionIndex::absent) return 0;
    const std::uint32_t begin = start(p), length = ends_[p] - begin;
    text_.erase(begin, length);
    ends_.erase(ends_.begin() + p);
    for (std::size_t q = p; q < ends_.size(); ++q) ends_[q] -= length;
    index_.build(std::uint32_t(ends_.size()), textAt());
    return 1;
  }

  // The same ids, in any order.
  friend bool operator==(const IdSet& a, const IdSet& b) {
    if (a.size() != b.size()) return false;
    for (const std::string_view id : a) {
      if (!b.contains(id)) return false;
    }
    return true;
  }

 private:
  std::uint32_t start(std::uint32_t p) const { return p == 0 ? 0 : ends_[p - 1]; }
  std::string_view at(std::uint32_t p) const {
    return std::string_view(text_).substr(start(p), ends_[p] - start(p));
  }
  struct TextAt {
    const IdSet* set;
    std::string_view operator()(std::uint32_t p) const { return set->at(p); }
  };
  TextAt textAt() const { return {this}; }
  std::uint32_t find(std::string_view id) const { return index_.find(id, textAt()); }

  std::string text_;
  std::vector<std::uint32_t> ends_;  // where each id ends in text_
  PositionIndex index_;
};

}  // namespace tavolune
