// Linked lists of records, as the game keeps them: elements are shared
// pointers to records that may define `int Compare(const T& other) const`.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <type_traits>

template <class T>
class TList {
 public:
  using Ptr = std::shared_ptr<T>;

  void AddLast(Ptr item) { items_.push_back(std::move(item)); }
  void AddFirst(Ptr item) { items_.push_front(std::move(item)); }
  void Clear() { items_.clear(); }
  size_t Count() const { return items_.size(); }
  bool IsEmpty() const { return items_.empty(); }
  Ptr First() const { return items_.empty() ? nullptr : items_.front(); }
  Ptr Last() const { return items_.empty() ? nullptr : items_.back(); }

  // Unlinks the first element e, from the front, with e.Compare(x) == 0.
  // Does nothing when there is none.
  void Remove(const T& x) {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if ((*it)->Compare(x) == 0) {
        items_.erase(it);
        return;
      }
    }
  }
  // Unlinks this very element (pointer identity).
  void RemoveLink(const Ptr& item) {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (*it == item) {
        items_.erase(it);
        return;
      }
    }
  }

  // Stable bottom-up merge sort, ascending by a.Compare(b): passes with run
  // widths 1, 2, 4, ...; each merge takes the left run's head while
  // left.Compare(right) <= 0. A pass with at most one merge ends the sort.
  // Only splices: no element is copied, and a Compare that is not a strict
  // ordering (32-bit wrap of far-apart stamps) still gives a defined order.
  void Sort() {
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

  // Visits from first to last. The walk moves on before it hands an element
  // out, so the visitor may remove the element it was given (or any before
  // it). A visitor returning bool stops the walk by returning false.
  template <class F>
  void ForEach(F&& visit) {
    for (auto it = items_.begin(); it != items_.end();) {
      Ptr item = *it;
      ++it;
      if constexpr (std::is_same_v<decltype(visit(item)), bool>) {
        if (!visit(item)) return;
      } else {
        visit(item);
      }
    }
  }

  // Plain iteration for reading (do not remove while iterating this way).
  typename std::list<Ptr>::iterator begin() { return items_.begin(); }
  typename std::list<Ptr>::iterator end() { return items_.end(); }
  typename std::list<Ptr>::const_iterator begin() const { return items_.begin(); }
  typename std::list<Ptr>::const_iterator end() const { return items_.end(); }

 private:
  std::list<Ptr> items_;
};

template <class T>
void ListAddLast(TList<T>& list, std::shared_ptr<T> item) { list.AddLast(std::move(item)); }
template <class T>
void ListRemove(TList<T>& list, const T& x) { list.Remove(x); }
template <class T>
void SortList(TList<T>& list) { list.Sort(); }
template <class T>
void ClearList(TList<T>& list) { list.Clear(); }
