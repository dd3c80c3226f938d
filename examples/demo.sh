#!/bin/sh
# The toolkit's main job on built-in data: builds the programs if needed,
# reconstructs a uniform disk from its chord profile and prints the CT values
# beside the true density, expands the profile into a sinogram and writes the
# analytic sinogram of a ring phantom, then grafts a coarse wide sinogram of
# that phantom around a fine truncated one.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/release/bin"
out="${1:-$top/build/demo}"

if [ ! -x "$bin/ax_recon" ] || [ ! -x "$bin/ax_expand" ] || [ ! -x "$bin/disk_sino" ] || [ ! -x "$bin/sino_graft" ]; then
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

# The same phantom seen twice: wide and coarse (128 detectors of 2 pixels,
# radii halved), and narrow and fine (101 detectors of 1 pixel, truncated
# inside the ring). The shift dx = dy = h0 - h1 = (128 * 2 / 2 - 0.5) - (101 / 2 - 0.5)
# = 77.5 puts the coarse sinogram's axis on the fine one's.
"$bin/disk_sino" 128 0 0 50 -40 20 90 "$out/ring_coarse.sg"
"$bin/disk_sino" 101 0 0 100 -80 40 180 "$out/ring_fine.sg"
centre=$("$bin/sino_graft" "$out/ring_coarse.sg" 63.5 "$out/ring_fine.sg" 50 2 0 77.5 77.5 \
         "$out/ring_grafted.sg" 2>&1 >/dev/null)
echo "sino_graft: the fine truncated sinogram grafted into the coarse wide one: $out/ring_grafted.sg"
echo "           ($(head -n 1 "$out/ring_grafted.sg" | tr '\t' ' ') detectors by views, rotation centre $centre)"
