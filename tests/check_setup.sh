#!/bin/bash
# The set-up against a stand-in apt-get: a machine set up once never calls it again (so
# both commands work offline), and a mirror caught mid-sync is got round or reported.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "set-up runs as root; skipped"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# apt-get as a mirror mid-sync answers: every index refresh fails; an install fails unless
# it prefers the suite named in $PREFER. dpkg-query hides the package named in $MISSING.
cat >"$work/apt-get" <<'EOF'
#!/bin/bash
echo "$*" >>"$CALLS"
case " $* " in
*" update "*) echo "E: Failed to fetch http://mirror/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"; exit 100 ;;
*" -t $PREFER "*) exit 0 ;;
*) echo "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
esac
EOF
printf '#!/bin/bash\n[ "${@: -1}" = "$MISSING" ] && exit 1\nexec /usr/bin/dpkg-query "$@"\n' >"$work/dpkg-query"
chmod +x "$work/apt-get" "$work/dpkg-query"
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")

failed=0
# missing package | suite the mirror serves whole | exit | apt-get calls | output that must show
while IFS='|' read -r missing prefer code calls says; do
    : >"$work/calls"
    out=$(MISSING=$missing PREFER=$prefer CALLS=$work/calls PATH="$work:$PATH" "$root/tools/setup.sh" 2>&1)
    got="$?|$(wc -l <"$work/calls")"
    if [ "$got" != "$code|$calls" ] || ! grep -q -F -- "$says" <<<"$out"; then
        echo "FAIL: missing '$missing': exit|calls $got, want $code|$calls and '$says'"; echo "$out"; failed=1
    fi
done <<EOF
none|$codename|0|0|
xdotool|$codename|0|5|preferring the release's own suite ($codename)
xdotool|none|1|5|E: Unable to correct problems
EOF
[ $failed -eq 0 ] && echo "set-up: offline once set up; a mirror mid-sync got round or reported"
exit $failed
