"""What /proc tells of a running process: its CPU time, its threads' context switches and its
memory by mapping. Shared by the whole-process benchmarks."""

import os

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rpartition(")")[2].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def switches_by_thread(pid):
    """{(tid, name): voluntary + involuntary context switches} of every thread."""
    result = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            status = open(f"/proc/{pid}/task/{tid}/status").read().splitlines()
        except FileNotFoundError:
            continue
        values = dict(line.split(":", 1) for line in status if ":" in line)
        result[(tid, values["Name"].strip())] = (int(values["voluntary_ctxt_switches"])
                                                 + int(values["nonvoluntary_ctxt_switches"]))
    return result


def pss_kib(pid):
    """The process's /proc/PID/smaps_rollup as {field: KiB} (Rss, Pss, Pss_Anon, ...)."""
    rollup = {}
    for line in open(f"/proc/{pid}/smaps_rollup").read().splitlines()[1:]:
        key, _, value = line.partition(":")
        rollup[key] = int(value.split()[0])
    return rollup


def pss_by_mapping(pid, field="Pss"):
    """{file or [anon] region: KiB of `field` (Pss, Rss, ...)}, summed over the mappings."""
    totals, name = {}, None
    for line in open(f"/proc/{pid}/smaps").read().splitlines():
        fields = line.split()
        if "-" in fields[0] and ":" not in fields[0]:
            name = fields[5] if len(fields) > 5 else "[anon]"
        elif fields[0] == field + ":":
            totals[name] = totals.get(name, 0) + int(fields[1])
    return totals
