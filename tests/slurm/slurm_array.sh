#!/bin/sh
# Runs examples/stack_recon_slurm.sh through a real Slurm cluster of one
# node started here (munged, slurmctld and slurmd, as root, with a minimal
# configuration in a scratch folder: no cgroups, no accounting, no
# systemd), on the ellipse scan, and checks that the joined volume equals
# the one stack_recon writes in one run, byte for byte.
#   slurm_array.sh BIN_DIR SCRIPT
# Exit status 77 (CTest: skipped) with a line saying why when the machine
# cannot run it: not root, or Slurm and munge not installed
# (tools/debian-packages-ci.txt lists them).
set -u
bin=$1
script=$2

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: the Slurm daemons run as root here, and this is not root."
    exit 77
fi
for program in munged slurmctld slurmd sbatch squeue sinfo; do
    if ! command -v "$program" >/dev/null 2>&1; then
        echo "skipped: $program is not installed (Debian: munge, slurmctld, slurmd, slurm-client)."
        exit 77
    fi
done

work=$(mktemp -d /tmp/ct_slurm_XXXXXX)
# munged wants every folder above its socket open to all.
chmod 0755 "$work"
pids=
# Whatever happens, the daemons started here are stopped by their process
# ids and the scratch folder goes.
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null; done
    for pid in $pids; do
        for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
        kill -9 "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAILED: $*"
    for log in "$work"/log/*.log "$work"/data/vol.tif.parts/*.log; do
        [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
    done
    exit 1
}

# munge: the key alone in a 0700 folder, the socket in a 0755 one.
mkdir -m 0700 "$work/key"
mkdir -m 0755 "$work/run" "$work/log" "$work/state" "$work/spool" "$work/data"
dd if=/dev/urandom of="$work/key/munge.key" bs=1024 count=1 2>/dev/null
chmod 0400 "$work/key/munge.key"
socket=$work/run/munge.socket
munged -F --force --socket="$socket" --key-file="$work/key/munge.key" --pid-file="$work/run/munged.pid" \
    --log-file="$work/log/munged.log" --seed-file="$work/run/munged.seed" > "$work/log/munged.out" 2>&1 &
pids="$pids $!"

host=$(hostname -s)
# Ports of this run's own, so that two runs on one machine do not meet.
port=$((20000 + $$ % 10000 * 2))
cat > "$work/slurm.conf" <<CONF
ClusterName=cttest
SlurmctldHost=$host
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/run/slurmctld.pid
SlurmdPidFile=$work/run/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
ReturnToService=2
SchedulerParameters=batch_sched_delay=0
SelectType=select/cons_tres
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
# slurmd loads a cgroup plugin whatever the task plugin; this one needs
# nothing mounted.
echo "CgroupPlugin=cgroup/v1" > "$work/cgroup.conf"
export SLURM_CONF="$work/slurm.conf"

for _ in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done
[ -S "$socket" ] || fail "munged did not start"
slurmctld -D -i -f "$work/slurm.conf" > "$work/log/slurmctld.out" 2>&1 &
pids="$pids $!"
slurmd -D -N "$host" -f "$work/slurm.conf" > "$work/log/slurmd.out" 2>&1 &
pids="$pids $!"
state=
for _ in $(seq 100); do
    state=$(sinfo -h -o %t 2>/dev/null)
    [ "$state" = idle ] && break
    sleep 0.2
done
[ "$state" = idle ] || fail "the node is not idle: '$state'"

# The scan, then the array: 4 tasks of 2 rows and the join.
cd "$work/data" || fail "no data folder"
"$bin/ct_make_scan" . || fail "ct_make_scan"
PATH=$bin:$PATH
export PATH
submitted=$("$script" submit 4 2 vol.tif -c 130.9 -f flat.tif -d dark.tif scan.tif) || fail "submit: $submitted"
echo "$submitted"
# squeue every half second: sbatch --wait would look only every few seconds.
for _ in $(seq 120); do
    [ -z "$(squeue -h -o %i 2>/dev/null)" ] && break
    sleep 0.5
done
[ -z "$(squeue -h -o %i)" ] || fail "jobs still queued after 60 s"

[ -f vol.tif ] || fail "no joined volume"
stack_recon -c 130.9 -f flat.tif -d dark.tif scan.tif direct.tif 2>/dev/null || fail "the direct run"
# The same samples page by page (the records differ: each holds its own
# command line).
for k in 0 1 2 3 4 5 6 7; do
    sino_stat "vol.tif:$k" "direct.tif:$k" | grep -q " rms 0 maxabs 0$" ||
        fail "the joined volume differs from the direct one on page $k"
done
grep -q '"parts":\["vol.tif.parts/part_0000.h5"' vol.tif || fail "the joined volume does not name its parts"
[ -z "$(ls vol.tif.parts/*.h5 2>/dev/null)" ] || fail "parts left after the join"
grep -q "vol.tif: 8 slices of 256 x 256." vol.tif.parts/join.log || fail "the join's line"
echo "the array's volume equals the direct one"
exit 0
