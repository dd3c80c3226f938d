// Checks of values that several programs share, each written once: the
// rotation axis, the detector interval, the image size, transform lengths.
// They answer yes or no; each program words its own message.
#pragma once

#include <cstddef>
#include <string>

#include "status.h"

// Whether a rotation axis lies strictly between detector 0 and detector
// N - 1 (false for a NaN).
bool CenterInside(double center, int detectors);

// Whether a detector interval is finite and above zero.
bool IntervalValid(double interval);

// The detector interval argument as atof reads it; fails with "bad detector
// interval." when it is zero, negative, not a number or not finite.
Status IntervalArgument(const char *text, double *interval);

// The same interval, the word wholly a number (StrictReal, args.h): a word
// that is not one fails with "bad detector interval: WORD.".
Status StrictIntervalArgument(const char *text, double *interval);

// The rotation axis argument, the word wholly a number (StrictReal):
// finite and strictly between 0 and N - 1, else "bad position of rotation
// center." ("bad position of rotation center: WORD." for a word that is not
// a number).
Status CenterArgument(const char *text, int detectors, double *center);

// A pixel side in detector intervals (-p PIXEL), the word wholly a number:
// finite and above zero, else "bad pixel size." (": WORD." as above).
Status PixelArgument(const char *text, double *pixel);

// Whether every one of `count` samples is finite.
bool AllFinite(const double *samples, std::size_t count);

// The index of the first of `count` samples that is not finite (a NaN or
// an infinity), or `count` when all are finite.
std::size_t FirstNotFinite(const double *samples, std::size_t count);

// Whether the rotation axis and the detector interval of a detector of N
// samples look given the wrong way round (the operands "c interval" as
// "interval c"): the axis within N/8 of an end of the detector, and the
// interval at least N/8 from both ends, where an axis would lie. Such a
// run makes an image about interval/c times too faint, and blurred about
// the wrong axis. An interval is a pixel's side in the densities' unit
// (1, micrometres, millimetres): it reaches N/8 with an axis near an end
// only in a half-acquisition scan given in a unit finer than the pixel.
bool AxisAndIntervalSwapped(int detectors, double center, double interval);

// The warning line of such a run, naming both values (the programs that
// take "c interval" in this order share it).
std::string SwappedAxisWarning(double center, double interval);

// A sinogram of one view makes an image of that view smeared across it
// (filtered back-projection, or the iterations' least-squares answer): no
// slice of the object. The warning line for `views` views, empty unless 1.
std::string OneViewWarning(int views);

// Whether a size x size image of doubles is addressable: size > 0 and
// size * size * 8 bytes within the address range.
bool ImageSizeFits(int size);

// The smallest length >= minimum whose prime factors are all at most
// `largest_prime` (2, 3, 5 or 7): lengths fast transforms handle well.
// 0 when it would leave the int range.
int SmoothLength(long long minimum, int largest_prime);
