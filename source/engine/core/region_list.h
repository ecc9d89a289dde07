#pragma once
// A list of image regions {address, length, buffer}.
//
// The buffers of image regions are registry buffers (CBufferRegistry): the
// owner of a list releases each buffer once in the registry and then deletes
// the list, which RegionListPtr does when it goes. Erase and sector lists
// use the same type with null buffers (address and size of a sector).
//
// The list itself never frees or copies buffers; copying a list is explicit:
// DuplicateRegionList gives new buffers with copied contents,
// ShareRegionList takes one more reference on the same buffers.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct ImageRegion {
  std::uint32_t address = 0;
  std::uint32_t length = 0;        // bytes
  std::uint8_t* buffer = nullptr;  // registry buffer, or null in erase and sector lists

  bool operator==(const ImageRegion&) const = default;
};

class CRegionList {
 public:
  CRegionList() = default;
  CRegionList(const CRegionList&) = delete;
  CRegionList& operator=(const CRegionList&) = delete;
  CRegionList(CRegionList&&) noexcept = default;
  CRegionList& operator=(CRegionList&&) noexcept = default;
  virtual ~CRegionList() = default;

  void Add(const ImageRegion& region) { regions_.push_back(region); }
  void Add(std::uint32_t address, std::uint32_t length, std::uint8_t* buffer = nullptr) {
    regions_.push_back(ImageRegion{address, length, buffer});
  }
  std::size_t Count() const { return regions_.size(); }
  bool Empty() const { return regions_.empty(); }
  ImageRegion& operator[](std::size_t index) { return regions_[index]; }
  const ImageRegion& operator[](std::size_t index) const { return regions_[index]; }
  std::vector<ImageRegion>::iterator begin() { return regions_.begin(); }
  std::vector<ImageRegion>::iterator end() { return regions_.end(); }
  std::vector<ImageRegion>::const_iterator begin() const { return regions_.begin(); }
  std::vector<ImageRegion>::const_iterator end() const { return regions_.end(); }
  // Forgets the regions without touching their buffers.
  void RemoveAll() { regions_.clear(); }

 private:
  std::vector<ImageRegion> regions_;
};

// Releases each distinct buffer of the list once in the program-wide
// registry, then deletes the list. Null does nothing.
void ReleaseRegionList(CRegionList* list);

struct RegionListRelease {
  RegionListRelease() = default;
  // Lets a std::unique_ptr<CRegionList> be handed over to a RegionListPtr.
  RegionListRelease(const std::default_delete<CRegionList>&) {}
  void operator()(CRegionList* list) const { ReleaseRegionList(list); }
};

// An owned region list whose buffers are released with it.
using RegionListPtr = std::unique_ptr<CRegionList, RegionListRelease>;

RegionListPtr MakeRegionList();
// A new list with the same addresses and lengths whose buffers are new
// registry buffers holding copies of the contents (length bytes each); null
// buffers stay null. Regions that share one buffer share one copy.
RegionListPtr DuplicateRegionList(const CRegionList& list);
// A new list of the same regions with one more reference on each buffer.
RegionListPtr ShareRegionList(const CRegionList& list);
