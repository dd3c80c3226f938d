// stack_recon's fold of a band in place: each row's folded views are the
// ones FoldRow writes into a buffer of their own, whether the folded rows
// are narrower than what was read (rows folded from the first) or wider
// (axes on both sides of the middle widen the shared frame past twice the
// detector: rows folded from the last).
#include <cstddef>
#include <vector>

#include <gtest/gtest.h>

#include "stack_recon/turn.h"

namespace {

TEST(StackReconTurn, AFoldedBandEqualsEachRowFoldedAlone) {
    struct Case {
        std::vector<double> centers;
        bool wider;  // folded rows wider than the 2M views read
    } cases[] = {
        {{3.3, 3.3, 3.3}, false},
        {{2.5, 3.7, 4.1}, false},
        {{2.2, 13.6, 7.0}, true},
    };
    const int n = 16, m = 5;
    for (const Case &c : cases) {
        Turn turn;
        turn.full = true;
        turn.pairs = m;
        Fold fold;
        ASSERT_TRUE(MakeFold(turn, n, c.centers, &fold).ok());
        int rows = static_cast<int>(c.centers.size());
        std::size_t read = 2 * static_cast<std::size_t>(m) * n;
        std::size_t folded = static_cast<std::size_t>(m) * fold.width;
        EXPECT_EQ(folded > read, c.wider) << fold.width;
        std::vector<double> band(rows * FoldStride(fold));
        for (std::size_t i = 0; i < rows * read; ++i) band[i] = static_cast<double>((i * 7919) % 101) / 7;
        std::vector<double> expected(rows * folded);
        for (int j = 0; j < rows; ++j) FoldRow(fold, j, &band[j * read], &expected[j * folded]);
        FoldBand(&fold, 0, rows, band.data());
        for (std::size_t i = 0; i < rows * folded; ++i) ASSERT_EQ(band[i], expected[i]) << c.centers[0] << " " << i;
    }
}

}  // namespace
