#!/bin/bash
# Reconstructs a projection stack into one volume as a Slurm job array:
# array task i reconstructs detector rows i*ROWS ... (i+1)*ROWS - 1 into a
# part (an HDF5 volume in VOLUME.parts/), and a last job, started only when
# every task has succeeded, joins the parts into VOLUME (stack_recon -j,
# which refuses parts that are missing or overlap) and removes them.
#
# Submit from the folder of the stack, with as many tasks as it takes to
# cover the rows (here 2048 rows, 4 tasks of 512) and stack_recon's options
# and operands after the volume's name:
#
#   examples/stack_recon_slurm.sh submit 4 512 volume.tif -c 1023.4 -f flat.tif -d dark.tif scan.tif
#
# It prints the ids of the array and of the joining job. Give the axis with
# -c: without it each task finds its own on its own rows, and the parts
# may differ by a fraction of a pixel (a first run over a few rows, such as
# "stack_recon -r 1000,40 ... probe.h5", prints it). Each task runs with as
# many threads as it has cores; stack_recon must be on the PATH the jobs
# inherit.
#SBATCH --job-name=stack_recon
#SBATCH --cpus-per-task=2
#SBATCH --time=01:00:00
set -euo pipefail

usage() {
    echo "usage : stack_recon_slurm.sh submit TASKS ROWS VOLUME [OPTION...] STACK..." >&2
    exit 2
}

mode=${1:-}
[ $# -gt 0 ] && shift
case $mode in
    submit)
        [ $# -ge 4 ] || usage
        tasks=$1 rows=$2 volume=$3
        shift 3
        script=$(readlink -f "$0")
        mkdir -p "$volume.parts"
        array=$(sbatch --parsable --array=0-$((tasks - 1)) --output="$volume.parts/task_%a.log" \
            "$script" part "$rows" "$volume" "$@")
        array=${array%%;*}
        join=$(sbatch --parsable --dependency=afterok:"$array" --output="$volume.parts/join.log" \
            "$script" join "$volume")
        echo "array $array, join ${join%%;*}"
        ;;
    part)
        rows=$1 volume=$2
        shift 2
        task=${SLURM_ARRAY_TASK_ID:?not run as a Slurm array task}
        export OMP_NUM_THREADS=${SLURM_CPUS_PER_TASK:-1}
        stack_recon -r $((task * rows)),"$rows" "$@" "$(printf '%s.parts/part_%04d.h5' "$volume" "$task")"
        ;;
    join)
        volume=$1
        stack_recon -j "$volume".parts/part_*.h5 "$volume"
        rm -f "$volume".parts/part_*.h5
        ;;
    *) usage ;;
esac
