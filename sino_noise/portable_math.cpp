#include "portable_math.h"

#include <cmath>
#include <limits>

namespace {

// ln 2 split so that k ln2_hi is exact for |k| < 2^20: its low bits are zero.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInverseLn2 = 1.44269504088896338700e+00;
constexpr double kSqrtHalf = 0.70710678118654752440;

// 2^(j/32) for j = 0 ... 31, correctly rounded (from 50-digit values).
constexpr double kPowers[32] = {
    0x1.0000000000000p+0, 0x1.059b0d3158574p+0, 0x1.0b5586cf9890fp+0, 0x1.11301d0125b51p+0,
    0x1.172b83c7d517bp+0, 0x1.1d4873168b9aap+0, 0x1.2387a6e756238p+0, 0x1.29e9df51fdee1p+0,
    0x1.306fe0a31b715p+0, 0x1.371a7373aa9cbp+0, 0x1.3dea64c123422p+0, 0x1.44e086061892dp+0,
    0x1.4bfdad5362a27p+0, 0x1.5342b569d4f82p+0, 0x1.5ab07dd485429p+0, 0x1.6247eb03a5585p+0,
    0x1.6a09e667f3bcdp+0, 0x1.71f75e8ec5f74p+0, 0x1.7a11473eb0187p+0, 0x1.82589994cce13p+0,
    0x1.8ace5422aa0dbp+0, 0x1.93737b0cdc5e5p+0, 0x1.9c49182a3f090p+0, 0x1.a5503b23e255dp+0,
    0x1.ae89f995ad3adp+0, 0x1.b7f76f2fb5e47p+0, 0x1.c199bdd85529cp+0, 0x1.cb720dcef9069p+0,
    0x1.d5818dcfba487p+0, 0x1.dfc97337b9b5fp+0, 0x1.ea4afa2a490dap+0, 0x1.f50765b6e4540p+0,
};

// 1/2!, 1/3!, ..., 1/7!, correctly rounded.
constexpr double kInverseFactorials[6] = {0x1.0000000000000p-1, 0x1.5555555555555p-3,  0x1.5555555555555p-5,
                                          0x1.1111111111111p-7, 0x1.6c16c16c16c17p-10, 0x1.a01a01a01a01ap-13};

}  // namespace

double PortableExp(double x) {
    if (x > 709.78) return std::numeric_limits<double>::infinity();
    if (x < -745.2) return 0;
    // x = (k/32) ln 2 + r, |r| <= ln 2 / 64 (a little more from rounding):
    // e^x = 2^(k/32) e^r, the table giving 2^(j/32) for the low five bits
    // of k, and e^r - 1 from its Taylor series to r^7/7! (the next term is
    // below 5e-21).
    double k = std::floor(x * (32 * kInverseLn2) + 0.5);
    double r = (x - k * (kLn2Hi / 32)) - k * (kLn2Lo / 32);
    double q = kInverseFactorials[5];
    for (int n = 4; n >= 0; --n) q = q * r + kInverseFactorials[n];
    q = (q * r + 1) * r;
    int whole = static_cast<int>(k);
    int j = whole & 31;
    return std::ldexp(kPowers[j] + kPowers[j] * q, (whole - j) / 32);
}

double PortableLog(double x) {
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = ln(1 + f) from the
    // series of 2 atanh(s), s = f / (2 + f), |s| < 0.172:
    // ln(1 + f) = f - f^2/2 + s (f^2/2 + R), R = sum 2 s^(2j) / (2j + 1),
    // twelve terms, the last below 1e-18 of the result.
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < kSqrtHalf) {
        m *= 2;
        --e;
    }
    double f = m - 1;
    double s = f / (2 + f);
    double z = s * s;
    double r = 0;
    for (int j = 12; j >= 1; --j) r = (r + 2.0 / (2 * j + 1)) * z;
    double half_square = 0.5 * f * f;
    double k = e;
    return k * kLn2Hi - ((half_square - (s * (half_square + r) + k * kLn2Lo)) - f);
}
