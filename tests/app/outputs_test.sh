#!/usr/bin/env bash
# The program's outputs as a careful user meets them: files, devices, FIFOs,
# standard output, full disks and small limits. Each row runs the real binary
# in a fresh folder: what to set up, the command ($K is the program), the exit
# status, a text the standard error must hold, and a check afterwards.
#   outputs_test.sh KAVRIN_BINARY
# Rows that need root (device nodes, a mounted full disk, switching to a plain
# user) say "skipped" with the reason when they cannot run there.
set -uo pipefail
K=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
root=$([ "$(id -u)" = 0 ] && echo yes || echo no)
plain_user=$(id -u nobody > /dev/null 2>&1 && command -v runuser > /dev/null && echo "$root" || echo no)
# A plain user runs a copy of the program from a folder every user may read.
if [ "$plain_user" = yes ]; then
  mkdir -m 755 "$work/bin" && cp "$K" "$work/bin/kavrin" && chmod 755 "$work/bin/kavrin"
  # A folder above this one that only root may enter (as in some chroots) keeps nobody out.
  runuser -u nobody -- "$work/bin/kavrin" --version > /dev/null 2>&1 || plain_user=unreachable
fi
as_plain() { runuser -u nobody -- bash -c "$1"; }
# The full disk is a tmpfs mounted in a mount namespace of its own.
private_mounts=$([ "$root" = yes ] && unshare -m true 2> /dev/null && echo yes || echo no)

ENOSPC="No space left on device"
# The line of a calculation without limits, to compare with runs under limits.
reference_line=$("$K" --x1 1 --steps 3000000 --method rk4 | tail -n 1)
reference_study=$("$K" --compare --steps 10..20480 --format csv)

same_inode() { [ "$(stat -c %i "$1")" = "$2" ]; }
# A good SVG on a small disk of its own, then one that does not fit: the status
# of the second, which must leave the first and nothing else.
full_disk_svg() {
  unshare -m bash -c "mount -t tmpfs -o size=120k tmpfs \"\$PWD\" && cd \"\$PWD\" || exit 9
    $K --compare --steps 10,20 --plot s.svg > /dev/null || exit 7
    good=\$(cksum < s.svg); head -c 1M /dev/zero > filler 2> /dev/null
    $K --compare --plot s.svg > /dev/null; status=\$?
    [ \"\$(cksum < s.svg)\" = \"\$good\" ] && [ \"\$(ls -A)\" = \"\$(printf 'filler\ns.svg')\" ] || exit 8
    exit \$status"
}
# With no second thread to be had, the same line and the same study.
without_threads() {
  as_plain "ulimit -u 1; exec $work/bin/kavrin --x1 1 --steps 3000000 --method rk4" > line &&
    as_plain "ulimit -u 1; exec $work/bin/kavrin --compare --steps 10..20480 --format csv" > study
}
no_temporary_left() { [ -z "$(find . -name '.*' ! -name . -newer start)" ]; }

# name | needs | setup | command | status | standard error holds | check afterwards
rows=(
  "FIFO with a reader||mkfifo p.csv; cat p.csv > got &|\$K --steps 5 --table p.csv|0||wait; test -p p.csv && [ \$(wc -l < got) = 7 ]"
  "device node stays a device|root|mknod null c 1 3|\$K --steps 10 --table null|0||test -c null"
  "full device: reported, stays a device|root|mknod full c 1 7|\$K --steps 10 --table full|1|cannot write full: $ENOSPC|test -c full"
  "/dev/stdout appends to standard output||echo OLD > log; inode=\$(stat -c %i log)|\$K --steps 2 --table /dev/stdout >> log|0||same_inode log \$inode && [ \"\$(head -n 1 log)\" = OLD ] && grep -q '^h = 0.05' log && grep -q '^2,0.1,' log"
  "process substitution||:|\$K --steps 3 --table >(gzip > t.gz)|0||sleep 0.5; [ \"\$(zcat t.gz | tail -n 1 | cut -c1-6)\" = '3,0.1,' ]"
  "symbolic link: its file replaced, link kept||echo old > real.csv; chmod 640 real.csv; ln -s real.csv link.csv|\$K --steps 2 --table link.csv|0||test -L link.csv && [ \"\$(stat -c %a real.csv)\" = 640 ] && grep -q '^i,x,y1,y2' real.csv"
  "new file: 0666 less the umask||umask 027|\$K --steps 2 --table new.csv|0||[ \"\$(stat -c %a new.csv)\" = 640 ]"
  "folder||mkdir folder|\$K --steps 2 --table folder|1|cannot write folder: Is a directory|test -d folder"
  "read-only folder, plain user|plain|mkdir -m 777 ro; echo keep > ro/f.csv; chmod 555 ro|as_plain \"\$work/bin/kavrin --steps 2 --table \$PWD/ro/f.csv\"|1|Permission denied|[ \"\$(cat ro/f.csv)\" = keep ]"
  "another user's file, plain user|plain|echo keep > r.csv; chmod 644 r.csv|as_plain \"\$work/bin/kavrin --steps 2 --table \$PWD/r.csv\"|1|cannot write $work|[ \"\$(cat r.csv)\" = keep ] && [ \"\$(stat -c %U r.csv)\" = root ] && grep -q 'Permission denied' err"
  "read-only file of one's own, plain user|plain|echo keep > r.csv; chmod 444 r.csv; chown nobody r.csv|as_plain \"\$work/bin/kavrin --steps 2 --table \$PWD/r.csv\"|1|Permission denied|[ \"\$(cat r.csv)\" = keep ] && [ \"\$(stat -c %a r.csv)\" = 444 ]"
  "hard link: both names see the new table||echo old > a.csv; ln a.csv b.csv; inode=\$(stat -c %i a.csv)|\$K --steps 2 --table a.csv|0||same_inode b.csv \$inode && grep -q '^i,x,y1,y2' b.csv && cmp -s a.csv b.csv && no_temporary_left"
  "255-byte name||name=\$(printf 'n%.0s' {1..251}).csv|\$K --steps 2 --table \$name|0||grep -q '^i,x,y1,y2' \$name && no_temporary_left"
  "a long wrong argument quoted short||:|\$K --method \$(printf 'x%.0s' {1..100000})|2|(100000 characters)|[ \$(wc -c < err) -lt 400 ]"
  "every run failed: why, on standard error||:|\$K --compare --steps 10,20,40,80 --x1 10 --method rk4 --format markdown|1|4 of 4 runs failed: 4 overflows|:"
  "CSV cut off by the file-size limit||echo keep > t.csv|ulimit -f 8; \$K --steps 100000 --table t.csv|1|cannot write t.csv: File too large|[ \"\$(cat t.csv)\" = keep ] && no_temporary_left"
  "SVG cut off by the file-size limit||echo keep > s.svg|ulimit -f 8; \$K --compare --steps 10..100000 --plot s.svg|1|cannot write s.svg: File too large|[ \"\$(cat s.svg)\" = keep ] && no_temporary_left"
  "PNG cut off by the file-size limit||echo keep > s.png|ulimit -f 8; \$K --compare --plot s.png|1|cannot write s.png: File too large|[ \"\$(cat s.png)\" = keep ] && no_temporary_left"
  "full disk keeps the good SVG|mount|:|full_disk_svg|1|cannot write s.svg: $ENOSPC|:"
  "standard output full: one calculation||:|\$K --x1 1 --steps 10 > /dev/full|1|cannot write to standard output: $ENOSPC|:"
  "standard output full: study||:|\$K --compare --steps 10,20 > /dev/full|1|cannot write to standard output: $ENOSPC|:"
  "standard output full: help||:|\$K --help > /dev/full|1|cannot write to standard output: $ENOSPC|:"
  "standard output full: version||:|\$K --version > /dev/full|1|cannot write to standard output: $ENOSPC|:"
  "a Qt option is a wrong option||:|\$K --plot a.svg -platform xcb|2|unknown option '-platform'|test ! -e a.svg"
  "no display: one line, no abort||:|env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \$K|1|the window needs a display|[ \$(wc -l < err) = 1 ]"
  "file name bytes kept||:|\$K --steps 2 --table \$'\\xff\\xfeout.csv'|0||test -f \$'\\xff\\xfeout.csv'"
  "address-space limit: the advice works|unsanitized|:|(ulimit -v 2000000; \$K --steps 1e8 --method rk4)|1|Enter at most|n=\$(grep -o 'Enter at most [0-9]*' err | grep -o '[0-9]*\$'); (ulimit -v 2000000; \$K --steps \$n --method rk4 > /dev/null)"
  "no threads for a plain user: same results|plain unsanitized|:|without_threads|0||[ \"\$(tail -n 1 line)\" = \"\$reference_line\" ] && [ \"\$(cat study)\" = \"\$reference_study\" ]"
)

passed=0
failed=0
skipped=0
for row in "${rows[@]}"; do
  IFS='|' read -r name needs setup command status holds check <<< "$row"
  why=
  for need in $needs; do
    case $need in
      root) [ "$root" = yes ] || why="needs root" ;;
      plain)
        case $plain_user in
          unreachable) why="the user nobody cannot reach $work" ;;
          no) why="needs root to switch to the user nobody" ;;
        esac ;;
      mount) [ "$private_mounts" = yes ] || why="needs root and a mount namespace of its own" ;;
      unsanitized) [ -z "${KAVRIN_SANITIZED:-}" ] || why="a sanitizer needs more address space and threads" ;;
    esac
  done
  if [ -n "$why" ]; then
    echo "skipped: $name ($why)"
    skipped=$((skipped + 1))
    continue
  fi
  dir=$(mktemp -d "$work/case.XXXXXX")
  chmod 777 "$dir"
  result=$(cd "$dir" && touch -d '1 minute ago' start && eval "$setup" && { eval "$command" > out 2> err; echo $? > status; } &&
    [ "$(cat status)" = "$status" ] && { [ -z "$holds" ] || grep -qF -- "$holds" err; } && eval "$check" && echo ok)
  if [ "$result" = ok ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name (status $(cat "$dir/status" 2> /dev/null), wanted $status)"
    sed 's/^/  stderr: /' "$dir/err" 2> /dev/null | head -n 5
  fi
done
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
