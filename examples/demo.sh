#!/bin/sh
# The toolkit's main job on built-in data. Builds the programs if needed,
# then, into one output folder (default build/demo):
#   - a ring phantom's sinogram over a wide field at a coarse pixel, and over
#     a narrow, truncated field at a fine pixel (disk_sino);
#   - the coarse one grafted around the fine one, axes aligned (sino_graft);
#   - a uniform disk reconstructed from its chord profile (ax_recon), with a
#     table of radius, reconstructed and true density;
#   - that profile expanded into a sinogram (ax_expand);
#   - a PNG of every sinogram (sino_view).
# CT_BIN names the folder of the programs to run (the tests set it to the
# build under test); by default the release build, built here if needed.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin="${CT_BIN:-$top/build/release/bin}"
out="${1:-$top/build/demo}"

for program in ax_recon ax_expand disk_sino sino_graft sino_view; do
    if [ -z "${CT_BIN:-}" ] && [ ! -x "$bin/$program" ]; then
        cmake -S "$top" --preset release >/dev/null
        cmake --build "$top/build/release" >/dev/null
        break
    fi
done
mkdir -p "$out"

# The phantom: a ring (radii 100 and -80) around a disk (40), centred at
# (20, 10) fine pixels from the rotation axis. The coarse field has 128
# detectors of 2 fine pixels, so every length is halved there; each disk is
# listed twice so that its chord lengths still count in fine pixels.
"$bin/disk_sino" 128 10 5 50 50 -40 -40 20 20 90 "$out/ring_coarse.sg"
"$bin/disk_sino" 101 20 10 100 -80 40 180 "$out/ring_fine.sg"
# dx = dy = h0 - h1 = (128 * 2 / 2 - 0.5) - (101 / 2 - 0.5) = 77.5 puts the
# coarse field's axis (c0 = 63.5) on the fine one's (c1 = 50).
centre=$("$bin/sino_graft" "$out/ring_coarse.sg" 63.5 "$out/ring_fine.sg" 50 2 0 77.5 77.5 \
         "$out/ring_grafted.sg" 2>&1 >/dev/null)

# A uniform disk of radius 48 detector intervals, density 1: its one-sided
# projection is the chord length 2 sqrt(R^2 - j^2) inside and 0 outside.
awk 'BEGIN { n = 64; R = 48; print n;
             for (j = 0; j < n; j++) printf "%.17g\n", (j < R) ? 2 * sqrt(R * R - j * j) : 0 }' \
    > "$out/disk_profile.txt"
"$bin/ax_recon" "$out/disk_profile.txt" 1 "$out/disk_ct.txt"
"$bin/ax_expand" "$out/disk_profile.txt" 180 "$out/disk_expanded.sg"

for sinogram in ring_coarse ring_fine ring_grafted disk_expanded; do
    "$bin/sino_view" "$out/$sinogram.sg" "$out/$sinogram.png"
done

echo "Wrote into $out:"
echo "  ring_coarse.sg   disk_sino: ring phantom, wide field, 128 detectors x 90 views at 2 pixels"
echo "  ring_fine.sg     disk_sino: the same phantom, truncated field, 101 detectors x 180 views"
echo "  ring_grafted.sg  sino_graft: the fine sinogram grafted into the coarse one," \
     "$(head -n 1 "$out/ring_grafted.sg" | awk '{ print $1 " detectors x " $2 " views" }'), rotation centre $centre"
echo "  disk_profile.txt the chord profile of a uniform disk of radius 48"
echo "  disk_ct.txt      ax_recon: its CT values along a radius"
echo "  disk_expanded.sg ax_expand: the profile as a sinogram, 127 detectors x 180 views"
echo "  *.png            sino_view: a picture of each sinogram"
echo
echo "ax_recon: uniform disk of radius 48, density 1"
echo "radius  reconstructed  true"
awk 'NR > 1 { j = NR - 2; if (j % 8 == 0 || j == 47 || j == 49)
              printf "%6d  %13s  %4d\n", j, $1, (j < 48) ? 1 : 0 }' "$out/disk_ct.txt"
