# Shell helpers of the benches on huge generated fields, sourced after `work` names their
# temporary folder.

# The standard detection settings, as the benches on huge fields run them, into file $1: the
# [SYSTEM] section of config/Orvandel.ini alone, without its PSF and stretch sections.
write_standard_settings() {
    printf '[SYSTEM]\r\nHeikinWidth = 4\r\nSikiTop = 240\r\nSiki = 4\r\nNumPixel = 5\r\nNumPixel2 = 12\r\nSinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n' >"$1"
}

# The median of the numbers given.
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Runs "$@" under /usr/bin/time; prints "wall_s peak_MB cpu_s" (cpu: user + system) and keeps
# standard output in $work/out.
timed() {
    local line
    /usr/bin/time -f "%e %M %U %S" "$@" >"$work/out" 2>"$work/err" || true
    line=$(tail -1 "$work/err")
    echo "$line" | awk '{printf "%s %d %.2f\n", $1, $2 / 1024, $3 + $4}'
}
