#include "MzLogRing.h"

bool MzLogRing::Push(std::string_view text) {
    std::lock_guard lock(m_writers);
    int write = m_write.load(std::memory_order_relaxed);
    int read = m_read.load(std::memory_order_acquire);
    if (write == read) return false;
    m_entries[write] = Next(write) == read ? kOverflowEntry : text;
    m_write.store(Next(write), std::memory_order_release);
    return true;
}
