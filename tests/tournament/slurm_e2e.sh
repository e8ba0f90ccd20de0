#!/usr/bin/env bash
# A single-node Slurm cluster made for the test: munged with its own key and socket, slurmctld and slurmd with a
# configuration in a temporary folder (SLURM_CONF) on free ports. A job array plays one slice of the tournament
# per task (--shard $SLURM_ARRAY_TASK_ID/N); merged, the slices give standings byte for byte equal to one
# single-process run. Every daemon is stopped by its process id when the script ends, however it ends; nothing
# is written outside the temporary folder. Needs root (the daemons run as root) and the Debian packages
# slurm-wlm and munge; exits 77 (skipped) without them.
# Usage: slurm_e2e.sh <fusewick-tournament> <source dir>
set -euo pipefail
tournament="$(realpath "$1")"
source_dir="$(realpath "$2")"
start_time=$SECONDS
if [ "$(id -u)" -ne 0 ]; then echo "needs root to run the Slurm daemons: skipped"; exit 77; fi
for tool in munged slurmctld slurmd sbatch sinfo; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (packages slurm-wlm, munge): skipped"; exit 77; }
done

work="$(mktemp -d)"
chmod 755 "$work"  # munged wants every folder above its socket open to all
mkdir -m 700 "$work/munge"
mkdir -m 755 "$work/run"
mkdir "$work/state" "$work/spool" "$work/log" "$work/results"
pids=()
cleanup() {
  local status=$?
  if [ -n "${job:-}" ]; then scancel "$job" 2>/dev/null || true; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then tail -n 20 "$work"/log/* 2>/dev/null || true; fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# Two free TCP ports on the loopback: nothing answers on them.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then echo "$port"; return; fi
  done
}
ctld_port=$(free_port)
slurmd_port=$(free_port)
while [ "$slurmd_port" = "$ctld_port" ]; do slurmd_port=$(free_port); done

head -c 128 /dev/urandom >"$work/munge/munge.key"
chmod 600 "$work/munge/munge.key"
munged -F --key-file="$work/munge/munge.key" --socket="$work/run/munge.socket" --pid-file="$work/run/munged.pid" \
  --log-file="$work/log/munged.log" --seed-file="$work/munge/seed" 2>>"$work/log/munged.out" &
pids+=($!)
for _ in $(seq 50); do [ -S "$work/run/munge.socket" ] && break; sleep 0.1; done

host="$(hostname)"
export SLURM_CONF="$work/slurm.conf"
cat >"$SLURM_CONF" <<CONF
ClusterName=fusewick
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
AuthType=auth/munge
AuthInfo=socket=$work/run/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
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
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
NodeName=tournament NodeHostname=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=tournament Nodes=tournament Default=YES MaxTime=INFINITE State=UP
CONF
slurmctld -D -i 2>>"$work/log/slurmctld.out" &
pids+=($!)
slurmd -D -N tournament 2>>"$work/log/slurmd.out" &
pids+=($!)
for _ in $(seq 100); do
  sinfo -h -o %t 2>/dev/null | grep -q idle && break
  sleep 0.2
done
sinfo -h -o %t | grep -q idle || { echo "the test cluster did not come up"; exit 1; }
echo "cluster up after $((SECONDS - start_time)) s"

cd "$source_dir"
args=(-q -m default.map -m maps/pillars.map -m maps/open.map default.fpl teams/*.fpl)
"$tournament" -j 1 --standings "$work/single.json" "${args[@]}" >"$work/single.txt"

# One array task per slice, each on one worker; the job is watched until no task of it is left.
printf -v quoted ' %q' "${args[@]}"
job=$(sbatch --parsable --array=0-2 --output="$work/log/task-%a.out" --chdir="$source_dir" \
  --wrap "$(printf %q "$tournament") -j 1 --shard \$SLURM_ARRAY_TASK_ID/3 --out $work/results/shard-\$SLURM_ARRAY_TASK_ID.jsonl$quoted")
job="${job%%;*}"
for _ in $(seq 600); do
  [ -z "$(squeue -h -j "$job" 2>/dev/null)" ] && break
  sleep 0.2
done
[ -z "$(squeue -h -j "$job")" ] || { echo "job $job did not finish within two minutes"; exit 1; }
"$tournament" merge --standings "$work/slurm.json" "$work"/results/shard-*.jsonl >"$work/slurm.txt"
[ "$(ls "$work/results" | wc -l)" -eq 3 ]
cmp "$work/single.txt" "$work/slurm.txt"
cmp "$work/single.json" "$work/slurm.json"
echo "Slurm job array $job: standings equal to the single run, $((SECONDS - start_time)) s in all"
