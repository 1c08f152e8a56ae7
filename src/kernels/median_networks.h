#pragma once
// The networks of the thresholded median for window radius 1, 2 and 3: one sorts a window column
// (2r + 1 pixels), the other picks the median of the window from its 2r + 1 sorted columns.
#include "kernels/sorting_network.h"

namespace kvr::network {

constexpr int next_power_of_two(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}

template <int K>
constexpr Shape column_shape() {
    return {1, next_power_of_two(K), 1, K};
}

template <int K>
constexpr Shape window_shape() {
    return {next_power_of_two(K), next_power_of_two(K), K, K};
}

template <int K>
struct ColumnRanks {
    int ranks[K];
    constexpr ColumnRanks() : ranks{} {
        for (int i = 0; i < K; ++i) ranks[i] = i;
    }
};

inline constexpr int kBuildCapacity = 1024;

template <int K>
constexpr int column_sort_ops() {
    constexpr ColumnRanks<K> r;
    return build<kBuildCapacity, K>(column_shape<K>(), r.ranks, K).op_count;
}

template <int K>
constexpr int median_ops() {
    constexpr int rank = K * K / 2;
    return build<kBuildCapacity, 1>(window_shape<K>(), &rank, 1).op_count;
}

// Sorts K values ascending: outputs[i] holds rank i.
template <int K>
inline constexpr auto kColumnSort = [] {
    constexpr ColumnRanks<K> r;
    return build<column_sort_ops<K>(), K>(column_shape<K>(), r.ranks, K);
}();

// The median of K sorted columns of K values (column j, rank i is input j · K + i).
template <int K>
inline constexpr auto kWindowMedian = [] {
    constexpr int rank = K * K / 2;
    return build<median_ops<K>(), 1>(window_shape<K>(), &rank, 1);
}();

}  // namespace kvr::network
