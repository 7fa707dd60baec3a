#!/usr/bin/env bash
# Every script file runs the same as `sq FILE` and through `dofile(FILE)`: one reader for both.
#   script-readers.sh SQ
# Each case: name, the file's bytes (printf format), the stdout both ways must give.
set -u
sq="$1"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/sqreaders.XXXXXX") || exit 2
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" || exit 2
printf 'dofile(vargv[0]);\n' >run-dofile.nut
printf 'print("from bytecode\\n");\n' >source.nut
"$sq" -c -o compiled.cnut source.nut || { echo "sq -c failed"; exit 1; }
printf 'local f = loadfile("source.nut"); writeclosuretofile("written.cnut", f);\n' >write.nut
"$sq" write.nut || { echo "writeclosuretofile failed"; exit 1; }

cases=(
  "utf8|print(\"plain\\\\n\");\n|plain"
  "utf8-bom|\xef\xbb\xbfprint(\"bom\\\\n\");\n|bom"
  "utf16le|\xff\xfep\0r\0i\0n\0t\0(\0\"\0\xe9\0\"\0)\0;\0|é"
  "utf16be|\xfe\xff\0p\0r\0i\0n\0t\0(\0\"\0\xe9\0\"\0)\0;|é"
  "utf16le-surrogate-pair|\xff\xfep\0r\0i\0n\0t\0(\0\"\0\x3d\xd8\x00\xde\"\0)\0;\0|😀"
  "utf16le-unpaired-surrogate|\xff\xfep\0r\0i\0n\0t\0(\0\"\0\x3d\xd8x\0\"\0)\0;\0|\xef\xbf\xbdx"
  "utf16le-dangling-byte|\xff\xfep\0r\0i\0n\0t\0(\0\"\0o\0k\0\"\0)\0;\0/\0/\0\x0a|ok"
)
fail=0
check() { # name file expected
  local a b sa sb
  a=$("$sq" "$2" 2>&1); sa=$?
  b=$("$sq" run-dofile.nut "$2" 2>&1); sb=$?
  if [ "$a" != "$b" ] || [ $sa != $sb ]; then
    echo "FAIL $1: sq FILE gave [$a] ($sa), dofile gave [$b] ($sb)"; fail=1
  elif [ "$a" != "$(printf "$3")" ]; then
    echo "FAIL $1: both gave [$a], expected [$3]"; fail=1
  else
    echo "ok   $1: [$a]"
  fi
}
for c in "${cases[@]}"; do
  IFS='|' read -r name bytes expected <<<"$c"
  printf "$bytes" >"$name.nut"
  check "$name" "$name.nut" "$expected"
done
check "sq -c output" compiled.cnut "from bytecode"
check "writeclosuretofile output" written.cnut "from bytecode"
exit $fail
