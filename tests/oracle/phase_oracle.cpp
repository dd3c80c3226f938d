#include "oracle/phase_oracle.h"

#include <cmath>
#include <vector>

#include <fftw3.h>

void PaganinWholeProjection(const double *ratio, int rows, int columns, double coefficient, double pixel,
                            double *out) {
    int height = 2 * rows, width = 2 * columns;
    std::vector<fftw_complex> field(static_cast<std::size_t>(height) * width);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sy = y < rows ? y : height - 1 - y, sx = x < columns ? x : width - 1 - x;
            field[static_cast<std::size_t>(y) * width + x][0] = ratio[sy * columns + sx];
            field[static_cast<std::size_t>(y) * width + x][1] = 0;
        }
    fftw_plan forward = fftw_plan_dft_2d(height, width, field.data(), field.data(), FFTW_FORWARD, FFTW_ESTIMATE);
    fftw_plan backward = fftw_plan_dft_2d(height, width, field.data(), field.data(), FFTW_BACKWARD, FFTW_ESTIMATE);
    fftw_execute(forward);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double uy = (y <= height / 2 ? y : y - height) / (height * pixel);
            double ux = (x <= width / 2 ? x : x - width) / (width * pixel);
            double gain = 1 / (1 + coefficient * (ux * ux + uy * uy)) / (static_cast<double>(height) * width);
            field[static_cast<std::size_t>(y) * width + x][0] *= gain;
            field[static_cast<std::size_t>(y) * width + x][1] *= gain;
        }
    fftw_execute(backward);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            out[y * columns + x] = -std::log(field[static_cast<std::size_t>(y) * width + x][0]);
    fftw_destroy_plan(forward);
    fftw_destroy_plan(backward);
}
