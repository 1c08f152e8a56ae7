#pragma once
// The last N records of something that happens once a frame (guide errors, corrections), oldest
// overwritten first. Fixed size: nothing is allocated per frame.
namespace kvr {

template <typename T, int N>
struct RingLog {
    static constexpr int kCapacity = N;
    T entries[N];
    int next = 0;    // slot of the next entry
    long total = 0;  // entries ever recorded
    void record(const T& entry) {
        entries[next] = entry;
        next = (next + 1) % N;
        ++total;
    }
    // How many entries are kept.
    int count() const { return total < N ? static_cast<int>(total) : N; }
    // The i-th newest entry (0 = newest); i < count().
    const T& newest(int i) const { return entries[(next - 1 - i + 2 * N) % N]; }
    void clear() { next = 0, total = 0; }
};

}  // namespace kvr
