# table.sh - prints the figures file as the bench's table: each figure of ours,
# the others' with the ratio ours/theirs, the target and whether it is met.
# Sourced by run.sh.

# id | label | targets (comma-separated: "<20", ">=10000", "=yes",
# "ratio>=nginx:0.75" meaning ours/nginx >= 0.75, "ratio<=lighttpd:1")
FIGURE_ROWS='k1_rps|1 KiB: requests/s|ratio>=nginx:0.75,ratio>=thr128:1
k1_p99|1 KiB: p99 latency, ms|<20
k1_err|1 KiB: wrk errors|
k1_cpu|1 KiB: server CPU per request, us|
k16_rps|16 KiB: requests/s|
k16_p99|16 KiB: p99 latency, ms|
k16_err|16 KiB: wrk errors|
k16_cpu|16 KiB: server CPU per request, us|
dl1|256 MiB download, MB/s|ratio>=lighttpd:0.9
dl4|256 MiB x4 at once, MB/s total|ratio>=lighttpd:0.9
rss_rest|RSS at rest, MiB|
idle_held|idle connections held|>=IDLE_COUNT
idle_rss|RSS with the idle ones, MiB|<200
idle_lat|request with the idle ones, ms|<50
stop_ms|stop with 100 idle, ms|<600
php_rps|PHP page: requests/s (8 conns)|ratio>=lighttpd:0.9
php_p99|PHP page: p99 latency, ms|
php_err|PHP page: wrk errors|
php_cpu|server CPU per PHP request, ms|ratio<=lighttpd:1
post1m|1 MiB POST reaches page whole|=yes
post100m|100 MiB POST reaches page whole|=yes
post100m_grow|RSS after-before 100 MiB POST, MiB|<=5
post100m_peak|RSS peak-before 100 MiB POST, MiB|<=5'

print_table() {
  local servers="ours nginx lighttpd thr128 thrdef"
  printf '%s\n' "${FIGURE_ROWS//IDLE_COUNT/$IDLE_COUNT}" | awk -F'|' -v figures="$FIGURES" -v servers="$servers" '
    BEGIN {
      while ((getline line < figures) > 0) { split(line, f, "\t"); v[f[1], f[2]] = f[3] }
      ns = split(servers, sv, " ")
      name["ours"] = "ours"; name["nginx"] = "nginx"; name["lighttpd"] = "lighttpd"
      name["thr128"] = "thread-128K"; name["thrdef"] = "thread-8M"
      fmt = "%-36s %10s %17s %17s %17s %17s  %-34s %s\n"
      printf fmt, "figure", "ours", "nginx (ratio)", "lighttpd (ratio)", "thread-128K (rat.)", "thread-8M (ratio)", "target", "result"
      missed = 0
    }
    function has(id, s) { return ((id, s) in v) && v[id, s] != "-" && v[id, s] != "" }
    function cell(id, s,   o, t) {
      if (!has(id, s)) return "-"
      t = v[id, s]
      if (s == "ours" || !has(id, "ours") || t !~ /^[0-9.]+$/ || t + 0 == 0) return t
      o = v[id, "ours"]
      return sprintf("%s (%.2f)", t, o / t)
    }
    # One target item: its text, and whether ours meets it ("" when unknown).
    function check(item, id,   m, op, lim, who, o, r) {
      o = has(id, "ours") ? v[id, "ours"] : ""
      if (substr(item, 1, 5) == "ratio") {
        op = substr(item, 6, 2); split(substr(item, 8), m, ":"); who = m[1]; lim = m[2] + 0
        text = sprintf("%s%s x %s", op, lim, name[who])
        if (!has(id, "ours") || !has(id, who) || v[id, who] + 0 == 0) return ""
        r = o / v[id, who]
        return (op == ">=") ? (r >= lim) : (r <= lim)
      }
      op = substr(item, 1, 2)
      if (op != "<=" && op != ">=") op = substr(item, 1, 1)
      lim = substr(item, length(op) + 1)
      text = op lim
      if (!has(id, "ours")) return ""
      if (op == "=") return o == lim
      if (o !~ /^[0-9.]+$/) return 0
      if (op == "<") return o + 0 < lim + 0
      if (op == "<=") return o + 0 <= lim + 0
      return o + 0 >= lim + 0
    }
    {
      id = $1; targets = ""; result = ""
      n = split($3, items, ",")
      for (i = 1; i <= n; i++) {
        ok = check(items[i], id)
        targets = targets (i > 1 ? ", " : "") text
        if (ok == "") result = (result == "FAIL") ? "FAIL" : "n/a"
        else if (!ok) result = "FAIL"
        else if (result == "") result = "pass"
      }
      if (result == "FAIL") missed++
      printf fmt, $2, cell(id, "ours"), cell(id, "nginx"), cell(id, "lighttpd"),
             cell(id, "thr128"), cell(id, "thrdef"), targets, result
    }
    END { printf "\ntargets missed: %d\n", missed }'
}
