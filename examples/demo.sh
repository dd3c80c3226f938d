#!/bin/sh
# The toolkit's main job on built-in data: builds the programs if needed,
# reconstructs a uniform disk from its chord profile and prints the CT values
# beside the true density, expands the profile into a sinogram and writes the
# analytic sinogram of a ring phantom.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/release/bin"
out="${1:-$top/build/demo}"

if [ ! -x "$bin/ax_recon" ] || [ ! -x "$bin/ax_expand" ] || [ ! -x "$bin/disk_sino" ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release >/dev/null
fi
mkdir -p "$out"

# A disk of radius 48 detector intervals, density 1: its one-sided projection
# is the chord length 2 sqrt(R^2 - j^2) inside the disk and 0 outside.
awk 'BEGIN { n = 64; R = 48; print n;
             for (j = 0; j < n; j++) printf "%.17g\n", (j < R) ? 2 * sqrt(R * R - j * j) : 0 }' \
    > "$out/disk_profile.txt"
"$bin/ax_recon" "$out/disk_profile.txt" 1 "$out/disk_ct.txt"

echo "ax_recon: uniform disk of radius 48, density 1 (profile and CT values in $out)"
echo "radius  reconstructed  true"
awk 'NR > 1 { j = NR - 2; if (j % 8 == 0 || j == 47 || j == 49)
              printf "%6d  %13s  %4d\n", j, $1, (j < 48) ? 1 : 0 }' "$out/disk_ct.txt"

"$bin/ax_expand" "$out/disk_profile.txt" 180 "$out/disk_expanded.sg"
echo "ax_expand: the profile as a sinogram of 127 detectors by 180 views: $out/disk_expanded.sg"
"$bin/disk_sino" 256 0 0 100 -80 40 180 "$out/ring_phantom.sg"
echo "disk_sino: a ring (radii 100, -80) around a disk (40), 256 detectors by 180 views: $out/ring_phantom.sg"
