#!/bin/bash
# Reconstructs a folder of sinograms as a Slurm job array: array task i
# reconstructs the i-th file of sinograms/*.sg into images/, with as many
# threads as the task has cores. Submit from the folder that holds
# sinograms/, one task per file:
#
#   count=$(ls sinograms/*.sg | wc -l)
#   sbatch --array=0-$((count - 1)) sino_recon_slurm.sh
#
# The rotation axis (255.5: 512 detectors, axis in the middle) and the
# detector interval (1) are this example's; set yours below.
#
# This script has not been run under Slurm here. The toolkit's tests run it
# as a plain script, each task id set by hand, and check its images.
#SBATCH --job-name=sino_recon
#SBATCH --cpus-per-task=4
#SBATCH --time=00:10:00
set -euo pipefail

center=255.5
interval=1

files=(sinograms/*.sg)
file=${files[$SLURM_ARRAY_TASK_ID]}
name=$(basename "$file" .sg)
mkdir -p images
export OMP_NUM_THREADS=${SLURM_CPUS_PER_TASK:-1}
sino_recon "$file" "$center" "$interval" "images/$name.img"
