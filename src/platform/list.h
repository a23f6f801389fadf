// Linked lists of records, as the game keeps them: elements are shared
// pointers to records that may define `int Compare(const T& other) const`.
//
// A list may be changed while it is walked (ForEach): an element removed
// during a walk is only marked and is unlinked when the outermost walk
// ends, so the walk never loses its place, whichever element goes (the one
// visited, an earlier one or a later one). A removed element is never
// handed out again; one appended during a walk is visited by it.
#pragma once

#include <cstddef>
#include <iterator>
#include <list>
#include <memory>
#include <type_traits>

template <class T>
class TList {
 public:
  using Ptr = std::shared_ptr<T>;

  // Iterates the live elements (a removed one, still linked during a walk,
  // is passed over).
  template <class It>
  class LiveIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Ptr;
    using difference_type = std::ptrdiff_t;
    using pointer = const Ptr*;
    using reference = const Ptr&;
    LiveIterator() = default;
    LiveIterator(It at, It end) : at_(at), end_(end) { Skip(); }
    reference operator*() const { return *at_; }
    pointer operator->() const { return &*at_; }
    LiveIterator& operator++() {
      ++at_;
      Skip();
      return *this;
    }
    LiveIterator operator++(int) {
      LiveIterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const LiveIterator& other) const { return at_ == other.at_; }
    bool operator!=(const LiveIterator& other) const { return at_ != other.at_; }

   private:
    void Skip() {
      while (at_ != end_ && !*at_) ++at_;
    }
    It at_{}, end_{};
  };
  using iterator = LiveIterator<typename std::list<Ptr>::iterator>;
  using const_iterator = LiveIterator<typename std::list<Ptr>::const_iterator>;

  TList() = default;
  TList(const TList& other) { *this = other; }
  TList& operator=(const TList& other) {
    if (this == &other) return *this;
    Clear();
    for (const Ptr& item : other) items_.push_back(item);
    return *this;
  }

  void AddLast(Ptr item) {
    if (item) items_.push_back(std::move(item));
  }
  void AddFirst(Ptr item) {
    if (item) items_.push_front(std::move(item));
  }
  void Clear() {
    if (walks_ > 0) {
      for (Ptr& item : items_) Drop(item);
    } else {
      items_.clear();
      dead_ = 0;
    }
  }
  size_t Count() const { return items_.size() - dead_; }
  bool IsEmpty() const { return Count() == 0; }
  Ptr First() const {
    for (const Ptr& item : items_)
      if (item) return item;
    return nullptr;
  }
  Ptr Last() const {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
      if (*it) return *it;
    return nullptr;
  }

  // Unlinks the first element e, from the front, with e.Compare(x) == 0.
  // Does nothing when there is none.
  void Remove(const T& x) {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (*it && (*it)->Compare(x) == 0) {
        Unlink(it);
        return;
      }
    }
  }
  // Unlinks this very element (pointer identity).
  void RemoveLink(const Ptr& item) {
    if (!item) return;
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (*it == item) {
        Unlink(it);
        return;
      }
    }
  }

  // Stable bottom-up merge sort, ascending by a.Compare(b): passes with run
  // widths 1, 2, 4, ...; each merge takes the left run's head while
  // left.Compare(right) <= 0. A pass with at most one merge ends the sort.
  // Only splices: no element is copied, and a Compare that is not a strict
  // ordering (32-bit wrap of far-apart stamps) still gives a defined order.
  // Asked for inside a walk, the sort is made when the outermost walk ends.
  void Sort() {
    if (walks_ > 0) {
      sortPending_ = true;
      return;
    }
    if (items_.size() < 2) return;
    for (size_t width = 1;; width *= 2) {
      size_t merges = 0;
      auto left = items_.begin();
      while (left != items_.end()) {
        auto right = left;
        size_t leftCount = 0;
        while (leftCount < width && right != items_.end()) {
          ++right;
          ++leftCount;
        }
        ++merges;  // a lone last run counts as a merge with an empty one
        if (right == items_.end()) break;
        size_t rightCount = 0;
        // Merge [left, left+leftCount) with up to `width` from right.
        while (leftCount > 0 && rightCount < width && right != items_.end()) {
          if ((*left)->Compare(**right) <= 0) {
            ++left;
            --leftCount;
          } else {
            auto take = right++;
            ++rightCount;
            items_.splice(left, items_, take);
          }
        }
        // Skip what remains of the right run; the next pair starts after it.
        while (rightCount < width && right != items_.end()) {
          ++right;
          ++rightCount;
        }
        left = right;
      }
      if (merges <= 1) return;
    }
  }

  // Visits the live elements from first to last. The visitor may remove
  // any element, add elements at the end (they are visited too) or walk
  // the list again. A visitor returning bool stops the walk with false.
  template <class F>
  void ForEach(F&& visit) {
    struct Walk {
      TList& list;
      explicit Walk(TList& l) : list(l) { ++list.walks_; }
      ~Walk() {
        if (--list.walks_ == 0) list.WalkEnded();
      }
    } walk(*this);
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (!*it) continue;
      Ptr item = *it;  // the visitor may drop the list's own reference
      if constexpr (std::is_same_v<decltype(visit(item)), bool>) {
        if (!visit(item)) return;
      } else {
        visit(item);
      }
    }
  }

  // Reading iteration over the live elements. Removing while iterating
  // this way is for ForEach only.
  iterator begin() { return iterator(items_.begin(), items_.end()); }
  iterator end() { return iterator(items_.end(), items_.end()); }
  const_iterator begin() const { return const_iterator(items_.cbegin(), items_.cend()); }
  const_iterator end() const { return const_iterator(items_.cend(), items_.cend()); }

 private:
  void Drop(Ptr& slot) {
    if (!slot) return;
    slot.reset();
    ++dead_;
  }
  void Unlink(typename std::list<Ptr>::iterator it) {
    if (walks_ > 0) Drop(*it);
    else items_.erase(it);
  }
  void WalkEnded() {
    if (dead_ > 0) items_.remove(nullptr);
    dead_ = 0;
    if (sortPending_) {
      sortPending_ = false;
      Sort();
    }
  }

  std::list<Ptr> items_;
  size_t dead_ = 0;  // removed during a walk, still linked
  int walks_ = 0;    // walks under way (nested walks count each)
  bool sortPending_ = false;
};

template <class T>
void ListAddLast(TList<T>& list, std::shared_ptr<T> item) { list.AddLast(std::move(item)); }
template <class T>
void ListRemove(TList<T>& list, const T& x) { list.Remove(x); }
template <class T>
void SortList(TList<T>& list) { list.Sort(); }
template <class T>
void ClearList(TList<T>& list) { list.Clear(); }
