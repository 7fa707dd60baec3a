// Ordered list of pointers over a growable array. It never deletes its elements: their owners do.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

template <typename T>
class MzList {
  public:
    virtual ~MzList() = default;

    void Add(T item) { items_.push_back(item); }
    void Insert(size_t index, T item) {
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), item);
    }
    void Clear() { items_.clear(); }

    // Removes the first occurrence; false when the item is not in the list.
    bool Remove(T item) {
        auto it = std::find(items_.begin(), items_.end(), item);
        if (it == items_.end()) return false;
        items_.erase(it);
        return true;
    }

    // Position of the first occurrence, or -1.
    int IndexOf(T item) const {
        auto it = std::find(items_.begin(), items_.end(), item);
        return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
    }

    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    T operator[](size_t index) const { return items_[index]; }
    T& operator[](size_t index) { return items_[index]; }
    T Last() const { return items_.back(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    std::vector<T> items_;
};
