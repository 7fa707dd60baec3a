// The ring of log entries between the threads that log and the one thread that shows them.
//
// 128 slots. The read position is the entry most recently taken by the reader, the write position
// the slot the next entry fills; the entries strictly between them (going forward, with wrap) are
// pending, so at most 127 are. The empty ring has read 0, write 1; it is full when write == read.
// Only the writer moves the write position and only the reader the read position; both are atomics
// with release/acquire ordering, so the reader takes no lock. Writers from several threads are
// serialised by a mutex that the reader never touches.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

class MzLogRing {
  public:
    static constexpr int kSize = 128;
    // Stored instead of the entry that fills the last free slot, so the reader sees where entries were lost.
    static constexpr std::string_view kOverflowEntry = "Log message buffer over. [LOG MESSAGE LOST]\r\n";

    // Appends an entry; drops it when the ring is full. Returns whether anything was stored.
    bool Push(std::string_view text);

    // Calls `take(entry)` for each pending entry, oldest first, and frees its slot afterwards.
    // One reader thread at a time.
    template <typename Take>
    void Drain(Take&& take);

  private:
    static int Next(int position) { return (position + 1) % kSize; }

    std::array<std::string, kSize> m_entries;
    std::atomic<int> m_read{0};
    std::atomic<int> m_write{1};
    std::mutex m_writers;
};

template <typename Take>
void MzLogRing::Drain(Take&& take) {
    int read = m_read.load(std::memory_order_relaxed);
    for (int next = Next(read); next != m_write.load(std::memory_order_acquire); next = Next(next)) {
        take(std::string_view(m_entries[next]));
        m_read.store(next, std::memory_order_release);
    }
}
