#include "taper.h"

#include <cmath>

#include "real.h"

void TaperedWindow(double *window, int n, double middle, double half_width, double taper) {
    for (int s = 0; s < n; ++s) {
        double u = std::fabs(s - middle);
        double into = u - (half_width - taper);
        if (into <= 0) {
            window[s] = 1;
        } else if (into < taper) {
            window[s] = 0.5 * (1 + std::cos(kPi * into / taper));
        } else {
            window[s] = 0;
        }
    }
}
