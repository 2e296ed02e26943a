# Reads the output of `wrk --latency` and prints one line: "RPS P50_MS P99_MS ERRORS", where
# ERRORS counts socket errors and non-2xx/3xx responses (0 when wrk reported none).
function ms(text,    n, unit) {
  n = text + 0
  unit = text
  sub(/^[0-9.]+/, "", unit)
  if (unit == "us") return n / 1000
  if (unit == "ms") return n
  if (unit == "s") return n * 1000
  if (unit == "m") return n * 60000
  return n
}
/^ *50%/ { p50 = ms($2) }
/^ *99%/ { p99 = ms($2) }
/^Requests\/sec:/ { rps = $2 + 0 }
/Socket errors:/ {
  for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+,?$/) { v = $i; sub(/,/, "", v); errors += v }
}
/Non-2xx or 3xx responses:/ { errors += $NF }
END { printf "%.2f %.3f %.3f %d\n", rps, p50, p99, errors }
