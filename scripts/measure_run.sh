# Sourced by the benchmark scripts. measure OUT COMMAND...: runs COMMAND
# with its output in OUT and prints "wall cpu peak_kb" (getrusage of the
# child: processor time to the microsecond, as time(1) rounds user and
# system time to 10 ms each, too coarse for a run of 0.1 s; peak memory in
# KB). Its status is the command's.
measure_into() {
    /usr/bin/python3 -c 'import resource, subprocess, sys, time
t = time.time()
with open(sys.argv[1], "wb") as out:
    r = subprocess.run(sys.argv[2:], stdout=out, stderr=subprocess.STDOUT)
u = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.2f %.3f %d" % (time.time() - t, u.ru_utime + u.ru_stime, u.ru_maxrss))
sys.exit(r.returncode)' "$@"
}
