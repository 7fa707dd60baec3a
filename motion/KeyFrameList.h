// The keys of one joint node during a motion import, merged by time.
//
// Each entry gathers, for one key time, what the node's animated transformation elements
// say at that time: record h belongs to element h. Records are created when a key first
// touches them, so an entry holds only the elements keyed at its time (in element order);
// an element without a record counts as empty. That keeps the memory proportional to the
// number of keys, whatever the number of elements.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

struct KeyFrameRecord {
    static constexpr int32_t kEmpty = 0;
    static constexpr int32_t kTranslation = 1;
    static constexpr int32_t kRotation = 2;
    // A whole `matrix` element: its translation in x, y, z and its rotation as a quaternion
    // (right-handed, in the document's frame) in rotation.
    static constexpr int32_t kMatrix = 3;

    int32_t kind = kEmpty;
    float x = 0, y = 0, z = 0, w = 1;
    float axisX = 0, axisY = 0, axisZ = 0, axisW = 1;
    float angle = 0; // degrees
    float rotation[4] = {0, 0, 0, 1};
};

class KeyFrameEntry {
  public:
    float time = -1;

    explicit KeyFrameEntry(float t) : time(t) {}

    // The record of element h, created empty when the entry has none yet.
    KeyFrameRecord& Record(uint32_t h);
    // The records in element order, each with its element position.
    const std::vector<std::pair<uint32_t, KeyFrameRecord>>& Records() const { return records_; }

  private:
    std::vector<std::pair<uint32_t, KeyFrameRecord>> records_;
};

class KeyFrameList {
  public:
    KeyFrameList() = default;
    KeyFrameList(const KeyFrameList&) = delete;
    KeyFrameList& operator=(const KeyFrameList&) = delete;
    virtual ~KeyFrameList() = default;

    // The entry of exactly this time, inserted in time order when there is none. The time
    // must not be NaN.
    KeyFrameEntry& FindOrInsert(float time);

    // Entries in ascending time.
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    size_t Count() const { return entries_.size(); }

  private:
    std::map<float, std::unique_ptr<KeyFrameEntry>> entries_;
};
