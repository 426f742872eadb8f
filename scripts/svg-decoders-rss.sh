#!/usr/bin/env bash
# Samples the resident memory of every SVG decoder running, summed, until
# the command given ends; prints the peak and how many ran at once at most.
#   scripts/svg-decoders-rss.sh COMMAND [ARGS...]
set -uo pipefail
"$@" &
pid=$!
peak=0 most=0
while kill -0 "$pid" 2>/dev/null; do
  sum=0 count=0
  for status in /proc/[0-9]*/status; do
    read -r name < "$status" 2>/dev/null || continue
    [ "$name" = "Name:	tavolune-svg-de" ] || continue
    kb=$(awk '/^VmRSS:/ {print $2}' "$status" 2>/dev/null)
    sum=$((sum + ${kb:-0})) count=$((count + 1))
  done
  ((sum > peak)) && peak=$sum
  ((count > most)) && most=$count
  sleep 0.02
done
wait "$pid"
echo "decoders: at most $most at once, peak $((peak / 1024)) MiB resident together"
