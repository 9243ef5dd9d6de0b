#!/usr/bin/env bash
# Lumek killed (kill -9) while its exit save is under way, at the first change
# the save makes to LUMEK.ini or the new file beside it, and at later ones:
# LUMEK.ini is always the old file or the new one, whole. A logoff that ends
# Lumek early and a power cut meet the save at the same moments.
source "$(dirname "$0")/lib.sh" "$@"
ROUNDS=3
[ "${LUMEK_SOAK:-}" = full ] && ROUNDS=10

# Written by hand, not the way Lumek writes it, so every save changes it.
printf '; written by the test\r\n[SET]\r\nXVISIBLE=1\r\nYVISIBLE=1\r\nWARP=0\r\nXYCOLOR=65280\r\nXYBOLD=2\r\nSOUND=0\r\nSPEED=60\r\n\r\n[OTHER]\r\nKEY=value' > "$E2E_DIR/old.ini"

# Watches the folder for changes to the settings file or its new file until
# the process ends; the given change (1 = the first, 0 = none) kills it at
# once. Prints "watching" when ready, then the changes seen.
watch_and_kill() {
  python3 - "$E2E_DIR" "$1" "$2" <<'PY'
import ctypes, os, select, signal, struct, sys
folder, pid, kill_at = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
libc = ctypes.CDLL("libc.so.6", use_errno=True)
fd = libc.inotify_init()
# modify, moved from, moved to, create, delete
if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), 0x2 | 0x40 | 0x80 | 0x100 | 0x200) < 0:
    sys.exit("inotify refused")
print("watching", flush=True)
seen = []
while os.path.exists("/proc/%d" % pid):
    if not select.select([fd], [], [], 0.05)[0]:
        continue
    data = os.read(fd, 65536)
    at = 0
    while at < len(data):
        _, mask, _, length = struct.unpack_from("iIII", data, at)
        name = data[at + 16:at + 16 + length].rstrip(b"\0").decode()
        at += 16 + length
        if name not in ("LUMEK.ini", "LUMEK.ini.new"):
            continue
        seen.append("%s:%x" % (name, mask))
        if len(seen) == kill_at:
            os.kill(pid, signal.SIGKILL)
            print("killed at", " ".join(seen), flush=True)
            sys.exit(0)
print("changes", len(seen), " ".join(seen), flush=True)
PY
}

# Starts Lumek on the old file, watches, asks it to close; prints the watcher's report.
save_watched() {
  local kill_at=$1 pid watcher
  cp "$E2E_DIR/old.ini" "$E2E_DIR/LUMEK.ini"
  rm -f "$E2E_DIR/LUMEK.ini.new"
  e2e_start || return 1
  pid=$(e2e_lumek_pid) || { e2e_fail "no LUMEK.exe process runs in $E2E_DIR"; return 1; }
  watch_and_kill "$pid" "$kill_at" > "$E2E_DIR/watch.out" &
  watcher=$!
  e2e_eventually 10 grep -q watching "$E2E_DIR/watch.out" || { e2e_fail "the watcher did not start"; return 1; }
  wine "$E2E_CTL" close >/dev/null 2>&1 &
  wait "$watcher" 2>/dev/null
  e2e_eventually 20 bash -c "! kill -0 $E2E_PID 2>/dev/null" || e2e_fail "Lumek still runs after the save"
  wait "$E2E_PID" 2>/dev/null
  E2E_PID=""
  # Wine: the icon of a killed process stays in the tray until explorer
  # notices its window is gone; the next start must find its icon in slot 0.
  e2e_eventually 30 bash -c "! xwininfo -root -tree | grep -q '\"lumek.exe\"'" || e2e_fail "Lumek's windows outlived the process"
  grep -v watching "$E2E_DIR/watch.out"
}

# A save left alone: the new file, and how many changes make it.
report=$(save_watched 0) || e2e_finish
CHANGES=$(echo "$report" | awk '/^changes/ {print $2}')
cp "$E2E_DIR/LUMEK.ini" "$E2E_DIR/new.ini"
if [ "${CHANGES:-0}" -gt 0 ] && ! cmp -s "$E2E_DIR/old.ini" "$E2E_DIR/new.ini"; then
  e2e_pass "a whole save: $report"
else
  e2e_fail "the save changed nothing: $report"
  e2e_finish
fi

# Round 1 kills at the first change, the last round at the last before the
# save's final one, the others between.
for round in $(seq 1 "$ROUNDS"); do
  kill_at=$((1 + (round - 1) * (CHANGES > 2 ? CHANGES - 2 : 0) / (ROUNDS - 1)))
  report=$(save_watched "$kill_at") || e2e_finish
  size=$(stat -c %s "$E2E_DIR/LUMEK.ini" 2>/dev/null || echo missing)
  if cmp -s "$E2E_DIR/old.ini" "$E2E_DIR/LUMEK.ini"; then
    e2e_pass "round $round, $report: LUMEK.ini is the old file, whole"
  elif cmp -s "$E2E_DIR/new.ini" "$E2E_DIR/LUMEK.ini"; then
    e2e_pass "round $round, $report: LUMEK.ini is the new file, whole"
  else
    e2e_fail "round $round, $report: LUMEK.ini is neither file ($size bytes): $(od -c "$E2E_DIR/LUMEK.ini" 2>&1 | head -4 | tr '\n' ' ')"
  fi
done
rm -f "$E2E_DIR/old.ini" "$E2E_DIR/new.ini" "$E2E_DIR/watch.out" "$E2E_DIR/LUMEK.ini.new"
e2e_finish
