// Key entries of one joint node, merged by time.
#include "KeyFrameList.h"

#include <algorithm>

KeyFrameRecord& KeyFrameEntry::Record(uint32_t h) {
    // Elements are visited in order, so the record usually goes at the end.
    if (records_.empty() || records_.back().first < h)
        return records_.emplace_back(h, KeyFrameRecord{}).second;
    auto it = std::lower_bound(records_.begin(), records_.end(), h,
                               [](const auto& r, uint32_t key) { return r.first < key; });
    if (it != records_.end() && it->first == h) return it->second;
    return records_.insert(it, {h, KeyFrameRecord{}})->second;
}

KeyFrameEntry& KeyFrameList::FindOrInsert(float time) {
    auto [it, inserted] = entries_.try_emplace(time);
    if (inserted) it->second = std::make_unique<KeyFrameEntry>(time);
    return *it->second;
}
