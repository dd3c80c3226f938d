// The largest count in 0 ... high for which a test holds, by halving: for a
// test that holds up to some count and fails from there on (a band of rows
// whose buffers must fit a budget), in log2(high) calls.
#pragma once

template <class Holds>
int LargestThatHolds(int high, const Holds &holds) {
    int low = 0;
    while (low < high) {
        int middle = static_cast<int>(low + (static_cast<long long>(high) - low + 1) / 2);
        if (holds(middle)) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return low;
}
