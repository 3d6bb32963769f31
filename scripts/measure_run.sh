# Sourced by the benchmark scripts. measure OUT COMMAND...: runs COMMAND
# with its output in OUT and prints "wall cpu peak_kb" (getrusage of the
# child: processor time to the microsecond, as time(1) rounds user and
# system time to 10 ms each, too coarse for a run of 0.1 s; peak memory in
# KB). Its status is the command's. best_of_into OUT RUNS COMMAND...: the
# figures of the run with the least processor time of RUNS, the figure least
# disturbed by other work on the machine; on a failure prints OUT to stderr.
# field FIGURES N: the Nth of them. ratio A B: A / B to two decimals.
measure_into() {
    /usr/bin/python3 -c 'import resource, subprocess, sys, time
t = time.time()
with open(sys.argv[1], "wb") as out:
    r = subprocess.run(sys.argv[2:], stdout=out, stderr=subprocess.STDOUT)
u = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.2f %.3f %d" % (time.time() - t, u.ru_utime + u.ru_stime, u.ru_maxrss))
sys.exit(r.returncode)' "$@"
}
best_of_into() {
    out=$1
    runs=$2
    shift 2
    best=""
    i=0
    while [ "$i" -lt "$runs" ]; do
        figures=$(measure_into "$out" "$@") || { echo "command failed: $*" >&2; cat "$out" >&2; return 1; }
        cpu=$(echo "$figures" | cut -d' ' -f2)
        if [ -z "$best" ] || [ "$(echo "$cpu < $best" | bc)" = 1 ]; then best=$cpu; bestline=$figures; fi
        i=$((i + 1))
    done
    echo "$bestline"
}
field() { echo "$1" | cut -d' ' -f"$2"; }
ratio() { echo "scale=2; $1 / $2" | bc | sed 's/^\./0./; s/^-\./-0./'; }
