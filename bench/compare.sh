#!/usr/bin/env bash
# Two or more builds of vornetad-cli on one command line, run in turn: each round runs every build
# once, in a shuffled order. hyperfine runs a command's runs in one block, so where the machine's
# speed drifts (a shared host, a second core that is there one minute and not the next) one build
# may get the slow minutes; taken in turn, the builds share them. Prints each build's median wall
# time with its quartiles and its median user+sys time, and both against the first build.
#
#   bench/compare.sh [-n ROUNDS] [-f FILE] PROGRAM PROGRAM... -- ARGUMENT...
#
# -n ROUNDS: rounds after three to warm up (default 100). -f FILE: removed before every run, since a
# run that finds its output holding the bytes it would write leaves the file as it is. Standard
# output and error go to /dev/null. Example, this tree's build against an installed older one:
#
#   bench/compare.sh -f /tmp/b.gif build/dev/bin/vornetad-cli /opt/old/bin/vornetad-cli -- \
#       compose --template data/vornets/winter.gif --size 500 --line1 Sale --gif /tmp/b.gif
set -euo pipefail

rounds=100
fresh=
while getopts n:f: option; do
    case $option in
    n) rounds=$OPTARG ;;
    f) fresh=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
programs=()
while (($#)) && [[ $1 != -- ]]; do
    programs+=("$1")
    shift
done
if ((${#programs[@]} < 2)) || (($# == 0)); then
    echo "usage: bench/compare.sh [-n ROUNDS] [-f FILE] PROGRAM PROGRAM... -- ARGUMENT..." >&2
    exit 2
fi
shift

export QT_QPA_PLATFORM=offscreen
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    runtime=$(mktemp -d)
    trap 'rm -rf "$runtime"' EXIT
    export XDG_RUNTIME_DIR=$runtime
fi

python3 - "$rounds" "$fresh" "${#programs[@]}" "${programs[@]}" "$@" <<'EOF'
import os, random, statistics, sys, time

rounds, fresh, count = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
programs = sys.argv[4:4 + count]
arguments = sys.argv[4 + count:]
quiet = os.open(os.devnull, os.O_WRONLY)
times = {program: [] for program in programs}
for round in range(rounds + 3):
    order = programs[:]
    random.shuffle(order)
    for program in order:
        if fresh:
            try:
                os.unlink(fresh)
            except FileNotFoundError:
                pass
        start = time.perf_counter()
        pid = os.posix_spawn(program, [program] + arguments, os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, quiet, 1), (os.POSIX_SPAWN_DUP2, quiet, 2)])
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"{program} exited with {os.waitstatus_to_exitcode(status)}")
        if round >= 3:
            times[program].append((wall * 1000, (usage.ru_utime + usage.ru_stime) * 1000))

print(f"{rounds} rounds; load after them: " + " ".join(open("/proc/loadavg").read().split()[:3]))
print("| program | median | quartiles | user+sys | median against the first | user+sys against the first |")
print("|---|---|---|---|---|---|")
first = None
for program in programs:
    wall = [w for w, _ in times[program]]
    cpu = statistics.median(c for _, c in times[program])
    median = statistics.median(wall)
    quartiles = statistics.quantiles(wall, n=4)
    first = first or (median, cpu)
    print(f"| `{program}` | {median:.2f} ms | {quartiles[0]:.2f} to {quartiles[2]:.2f} ms | {cpu:.2f} ms "
          f"| {median / first[0]:.3f} | {cpu / first[1]:.3f} |")
EOF
