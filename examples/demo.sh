#!/bin/sh
# The toolkit's main job on built-in data. Builds the programs if needed,
# then, into one output folder (default build/demo):
#   - a ring phantom's sinogram over a wide field at a coarse pixel, and over
#     a narrow, truncated field at a fine pixel (disk_sino);
#   - the coarse one scaled to the fine pixel (sino_scale) and grafted around
#     the fine one, axes aligned (sino_graft);
#   - the region of interest reconstructed from the truncated sinogram alone,
#     from the grafted one and from the coarse one (sino_recon), against the
#     phantom's true image (disk_image), with a table of errors (sino_stat);
#   - the coarse sinogram cut into a stack of projection TIFFs (sino_tiff),
#     read back into sinograms (proj_sino) and reconstructed;
#   - the rotation axis of the coarse sinogram found from its data
#     (sino_center);
#   - a uniform disk reconstructed from its chord profile (ax_recon), with a
#     table of radius, reconstructed and true density;
#   - that profile expanded into a sinogram (ax_expand);
#   - a PNG of every sinogram and image (sino_view).
# CT_BIN names the folder of the programs to run (the tests set it to the
# build under test); by default the release build, built here if needed.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin="${CT_BIN:-$top/build/release/bin}"
out="${1:-$top/build/demo}"

programs="ax_recon ax_expand disk_sino sino_graft sino_view sino_recon disk_image sino_stat sino_scale
          sino_center proj_sino sino_tiff"
for program in $programs; do
    if [ -z "${CT_BIN:-}" ] && [ ! -x "$bin/$program" ]; then
        cmake -S "$top" --preset release >/dev/null
        cmake --build "$top/build/release" >/dev/null
        break
    fi
done
mkdir -p "$out"

# The phantom: a ring (radii 100 and -80) around a disk (40), centered at
# (20, 10) fine pixels from the rotation axis. The fine scan has 101
# detectors, so it sees only the middle of the object; the coarse scan has
# 128 detectors of 2 fine pixels and sees all of it, with every length
# halved, its line integrals too: sino_scale brings them to the fine pixel.
"$bin/disk_sino" 101 20 10 100 -80 40 180 "$out/ring_fine.sg"
"$bin/disk_sino" 128 10 5 50 -40 20 90 "$out/ring_coarse.sg"
"$bin/sino_scale" "$out/ring_coarse.sg" 2 "$out/ring_coarse2.sg"
# dx = dy = h0 - h1 = (128 * 2 / 2 - 0.5) - (101 / 2 - 0.5) = 77.5 puts the
# coarse field's axis (c0 = 63.5) on the fine one's (c1 = 50).
center=$("$bin/sino_graft" "$out/ring_coarse2.sg" 63.5 "$out/ring_fine.sg" 50 2 0 77.5 77.5 \
         "$out/ring_grafted.sg" 2>&1 >/dev/null)

# The region of interest: the fine field, 101 x 101 fine pixels around the
# axis. The shepp kernel keeps edges sharper than the default chesler, so
# the errors measure truncation rather than blur.
"$bin/disk_image" 101 20 10 100 -80 40 "$out/roi_truth.img"
"$bin/sino_recon" "$out/ring_fine.sg" 50 1 101 shepp "$out/roi_truncated.img"
"$bin/sino_recon" "$out/ring_grafted.sg" "$center" 1 101 shepp "$out/roi_grafted.img"
# The coarse scan alone, on its own pixel (51 coarse pixels cover the region).
"$bin/disk_image" 51 10 5 50 -40 20 "$out/roi_coarse_truth.img"
"$bin/sino_recon" "$out/ring_coarse.sg" 63.5 1 51 shepp "$out/roi_coarse.img"

# The coarse scan as a lab scanner would give it: one TIFF per view, each
# view repeated over 4 detector rows (a cylinder), holding line integrals.
# proj_sino turns the stack back into one sinogram per row.
mkdir -p "$out/stack"
header=$(head -n 1 "$out/ring_coarse.sg" | wc -c)
view=0
while [ $view -lt 90 ]; do
    name=$(printf '%s/stack/view_%03d' "$out" $view)
    tail -c +$((header + view * 1024 + 1)) "$out/ring_coarse.sg" | head -c 1024 > "$name.row"
    { printf '128\t4\n'; cat "$name.row" "$name.row" "$name.row" "$name.row"; } | "$bin/sino_tiff" - 32 "$name.tif"
    rm "$name.row"
    view=$((view + 1))
done
"$bin/proj_sino" -l "$out"/stack/view_*.tif "$out/stack/slice_%d.sg"
"$bin/sino_recon" "$out/stack/slice_2.sg" 63.5 1 128 "$out/stack_slice_2.img"
found=$("$bin/sino_center" "$out/ring_coarse.sg")

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
# One grey scale for the three pictures of the region: -0.25 black, 1.75 white.
for image in roi_truth roi_truncated roi_grafted stack_slice_2; do
    "$bin/sino_view" "$out/$image.img" -0.25 1.75 "$out/$image.png"
done

echo "Wrote into $out:"
echo "  ring_coarse.sg     disk_sino: ring phantom, wide field, 128 detectors x 90 views at 2 pixels"
echo "  ring_coarse2.sg    sino_scale: its line integrals times 2, in fine pixels"
echo "  ring_fine.sg       disk_sino: the same phantom, truncated field, 101 detectors x 180 views"
echo "  ring_grafted.sg    sino_graft: the coarse one grafted around the fine one," \
     "$(head -n 1 "$out/ring_grafted.sg" | awk '{ print $1 " detectors x " $2 " views" }'), rotation center $center"
echo "  roi_truth.img      disk_image: the true image of the region, 101 x 101 pixels"
echo "  roi_truncated.img  sino_recon: the region from the truncated sinogram alone"
echo "  roi_grafted.img    sino_recon: the region from the grafted sinogram"
echo "  roi_coarse_truth.img disk_image: the truth on the coarse pixel, 51 x 51"
echo "  roi_coarse.img     sino_recon: the coarse sinogram alone, 51 x 51 pixels of 2"
echo "  stack/             sino_tiff: the coarse scan as 90 projection TIFFs of 4 rows;" \
     "proj_sino: their sinograms slice_0.sg ... slice_3.sg"
echo "  stack_slice_2.img  sino_recon: slice 2 of the stack"
echo "  disk_profile.txt   the chord profile of a uniform disk of radius 48"
echo "  disk_ct.txt        ax_recon: its CT values along a radius"
echo "  disk_expanded.sg   ax_expand: the profile as a sinogram, 127 detectors x 180 views"
echo "  *.png              sino_view: a picture of each sinogram and image"
echo
echo "sino_center: rotation axis of ring_coarse.sg found at $found (true 63.5)"
echo
echo "Region of interest (radius 45 fine pixels around the axis), against the truth:"
echo "reconstruction        rms error  largest error"
row() {
    "$bin/sino_stat" "$2" "$3" "$4" |
        awk -v label="$1" '{ for (i = 1; i < NF; i += 2) v[$i] = $(i + 1);
                             printf "%-20s  %9.4f  %13.4f\n", label, v["rms"], v["maxabs"] }'
}
row "truncated, alone" "$out/roi_truncated.img" "$out/roi_truth.img" 45
row "grafted" "$out/roi_grafted.img" "$out/roi_truth.img" 45
row "coarse, alone" "$out/roi_coarse.img" "$out/roi_coarse_truth.img" 22.5
echo
echo "ax_recon: uniform disk of radius 48, density 1"
echo "radius  reconstructed  true"
awk 'NR > 1 { j = NR - 2; if (j % 8 == 0 || j == 47 || j == 49)
              printf "%6d  %13s  %4d\n", j, $1, (j < 48) ? 1 : 0 }' "$out/disk_ct.txt"
