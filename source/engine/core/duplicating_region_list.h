#pragma once
// An owned region list that is duplicated when its holder is copied.
//
// A payload record that holds its region lists this way copies with its
// plain copy constructor: every field reaches the copy, and each list of the
// copy has new registry buffers with the same contents (DuplicateRegionList),
// so no two copies share a buffer that either releases.

#include <cstddef>
#include <utility>

#include "engine/core/region_list.h"

class DuplicatingRegionListPtr {
 public:
  DuplicatingRegionListPtr() = default;
  DuplicatingRegionListPtr(RegionListPtr list) : list_(std::move(list)) {}
  DuplicatingRegionListPtr(const DuplicatingRegionListPtr& other) : list_(DuplicateOf(other.list_)) {}
  DuplicatingRegionListPtr& operator=(const DuplicatingRegionListPtr& other) {
    if (this != &other) list_ = DuplicateOf(other.list_);
    return *this;
  }
  DuplicatingRegionListPtr(DuplicatingRegionListPtr&&) noexcept = default;
  DuplicatingRegionListPtr& operator=(DuplicatingRegionListPtr&&) noexcept = default;
  ~DuplicatingRegionListPtr() = default;

  CRegionList* get() const { return list_.get(); }
  CRegionList* operator->() const { return list_.get(); }
  CRegionList& operator*() const { return *list_; }
  explicit operator bool() const { return list_ != nullptr; }
  bool operator==(std::nullptr_t) const { return list_ == nullptr; }
  // The owning pointer itself, for code that takes a RegionListPtr.
  operator const RegionListPtr&() const { return list_; }

 private:
  static RegionListPtr DuplicateOf(const RegionListPtr& list) {
    return list ? DuplicateRegionList(*list) : RegionListPtr();
  }

  RegionListPtr list_;
};
