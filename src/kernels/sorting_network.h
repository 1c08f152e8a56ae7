#pragma once
// Min/max networks built at compile time: Batcher's odd–even merge sort over a power-of-two
// number of wires, starting from blocks that are already sorted, with the wires beyond the real
// inputs treated as +∞. Comparators that touch only +∞ wires vanish, a comparator of a +∞ wire
// with a real one just moves the real value, and operations that no wanted output depends on
// are dropped. The result is a straight list of min and max operations on numbered values
// (inputs first, then one new value per operation), ready to be unrolled.
#include <array>
#include <cstdint>

namespace kvr::network {

struct Op {
    bool is_max = false;
    uint16_t out = 0, a = 0, b = 0;  // value `out` = min or max of values `a` and `b`
};

template <int MaxOps, int MaxOutputs>
struct Program {
    std::array<Op, MaxOps> ops{};
    int op_count = 0;
    int value_count = 0;
    std::array<uint16_t, MaxOutputs> outputs{};  // value holding each wanted output
};

// `blocks` blocks of `block` wires (both powers of two), each block sorted ascending; the first
// `real_blocks` blocks hold `real_per_block` real inputs each, numbered block by block. Outputs
// are ranks in the ascending order of the real inputs.
struct Shape {
    int block;
    int blocks;
    int real_per_block;
    int real_blocks;
};

namespace detail {

inline constexpr int kMaxWires = 64;
inline constexpr int kMaxComparators = 1024;

struct Comparators {
    std::array<std::array<uint8_t, 2>, kMaxComparators> pairs{};
    int count = 0;
    constexpr void add(int i, int j) {
        pairs[count][0] = static_cast<uint8_t>(i);
        pairs[count][1] = static_cast<uint8_t>(j);
        ++count;
    }
};

// Merges the two sorted halves of the n wires from lo, comparing wires r apart.
constexpr void odd_even_merge(Comparators& c, int lo, int n, int r) {
    const int step = r * 2;
    if (step < n) {
        odd_even_merge(c, lo, n, step);
        odd_even_merge(c, lo + r, n, step);
        for (int i = lo + r; i + r < lo + n; i += step) c.add(i, i + r);
    } else {
        c.add(lo, lo + r);
    }
}

// Sorts n wires from lo whose blocks of `sorted` wires are already in order.
constexpr void odd_even_merge_sort(Comparators& c, int lo, int n, int sorted) {
    if (n <= sorted) return;
    const int half = n / 2;
    odd_even_merge_sort(c, lo, half, sorted);
    odd_even_merge_sort(c, lo + half, half, sorted);
    odd_even_merge(c, lo, n, 1);
}

}  // namespace detail

template <int MaxOps, int MaxOutputs>
constexpr Program<MaxOps, MaxOutputs> build(Shape shape, const int* ranks, int rank_count) {
    detail::Comparators comparators;
    const int wires = shape.block * shape.blocks;
    detail::odd_even_merge_sort(comparators, 0, wires, shape.block);

    constexpr int kInfinite = -1;
    std::array<int, detail::kMaxWires> value_at{};  // value on each wire, or +∞
    int inputs = 0;
    for (int w = 0; w < wires; ++w) {
        const int b = w / shape.block;
        const int i = w % shape.block;
        value_at[w] = (b < shape.real_blocks && i < shape.real_per_block) ? inputs++ : kInfinite;
    }

    // Every operation, before pruning.
    std::array<Op, 2 * detail::kMaxComparators> all{};
    int all_count = 0;
    int next_value = inputs;
    for (int k = 0; k < comparators.count; ++k) {
        const int i = comparators.pairs[k][0];
        const int j = comparators.pairs[k][1];
        if (value_at[j] == kInfinite) continue;
        if (value_at[i] == kInfinite) {
            value_at[i] = value_at[j];
            value_at[j] = kInfinite;
            continue;
        }
        const auto a = static_cast<uint16_t>(value_at[i]);
        const auto b = static_cast<uint16_t>(value_at[j]);
        all[all_count++] = Op{false, static_cast<uint16_t>(next_value), a, b};
        value_at[i] = next_value++;
        all[all_count++] = Op{true, static_cast<uint16_t>(next_value), a, b};
        value_at[j] = next_value++;
    }

    Program<MaxOps, MaxOutputs> program;
    std::array<bool, 4 * detail::kMaxComparators> needed{};
    for (int k = 0; k < rank_count; ++k) {
        program.outputs[k] = static_cast<uint16_t>(value_at[ranks[k]]);
        needed[value_at[ranks[k]]] = true;
    }
    std::array<bool, 2 * detail::kMaxComparators> keep{};
    for (int k = all_count - 1; k >= 0; --k) {
        if (!needed[all[k].out]) continue;
        keep[k] = true;
        needed[all[k].a] = needed[all[k].b] = true;
    }
    for (int k = 0; k < all_count; ++k)
        if (keep[k]) program.ops[program.op_count++] = all[k];
    program.value_count = next_value;
    return program;
}

}  // namespace kvr::network
