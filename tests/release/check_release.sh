#!/usr/bin/env bash
# What a Windows engineer reads off the shipped binaries before putting them on a user's machine,
# read here with the cross binutils (under Wine every system function exists whatever Windows it
# plays, so no run can show that a binary loads on an older one):
# - every imported function is one that the oldest Windows the README names exports
#   (oldest-windows-exports.txt), and the headers ask for no newer Windows;
# - no binary asks a crypto provider for anything (the stack protector's guard is seeded without
#   one: loading a provider inside the band's DllMain can deadlock the shell), and the programs,
#   whose manifests ask for common controls 6, load comctl32 (Windows XP makes their standard
#   windows only then);
# - DEP and ASLR, high-entropy ASLR on x86_64, and on i686 the mark of an image that registers no
#   frame-based exception handler;
# - the release zip holds the three deliverables in one folder and nothing else.
# Writes a GoogleTest-style report where GTEST_OUTPUT ("xml:DIR\") asks, as the test programs do.
#
#   check_release.sh ARCH OBJDUMP EXPORTS ZIP DELIVERABLE...
set -u
arch=$1 objdump=$2 exports=$3 zip=$4
shift 4

cases=() failed=()
# case_ NAME: the following `fail` calls belong to it.
current=
case_() { current=$1; cases+=("$1"); }
fail() {
  echo "FAILED $current: $*" >&2
  [ "${#failed[@]}" -gt 0 ] && [ "${failed[-1]}" = "$current" ] || failed+=("$current")
}

for binary in "$@"; do
  name=$(basename "$binary")
  info=$("$objdump" -p "$binary") || { case_ "Imports.$name"; fail "objdump could not read it"; continue; }

  case_ "Imports.$name"
  # "DLL Name: X" opens a DLL's list; its functions follow as "vma hint name".
  while read -r missing; do
    fail "$missing is not exported by the oldest Windows named"
  done < <(awk '/DLL Name:/ { dll = tolower($3); next }
                /^[ \t]*$/ { dll = "" }
                dll != "" && /^\t[0-9a-f]+\t *[0-9]+ +[^ ]+$/ { print dll, $3 }' <<<"$info" |
           grep -vixF -f <(grep -v '^#' "$exports"))
  grep -q 'DLL Name:' <<<"$info" || fail "no import table read"
  ! grep -qi 'CryptAcquireContext' <<<"$info" || fail "imports CryptAcquireContext"
  if [[ $name == *.exe ]]; then
    grep -qi 'DLL Name: comctl32.dll' <<<"$info" && grep -q ' InitCommonControlsEx$' <<<"$info" ||
      fail "does not import comctl32's InitCommonControlsEx"
  fi

  case_ "Header.$name"
  field() { awk -v f="$1" '$1 == f { print $2 }' <<<"$info"; }
  # Windows XP is 5.1, its 64-bit edition 5.2; an image that asks for more is refused by its loader.
  oldest=501
  [ "$arch" = x86_64 ] && oldest=502
  for v in OSystem Subsystem; do
    major=$(field "Major${v}Version") minor=$(field "Minor${v}Version")
    [ $((major * 100 + minor)) -le "$oldest" ] || fail "Major/Minor${v}Version $major.$minor is newer than XP"
  done
  flags=$((16#$(field DllCharacteristics)))
  [ $((flags & 0x40)) -ne 0 ] || fail "no ASLR (dynamic base)"
  [ $((flags & 0x100)) -ne 0 ] || fail "no DEP (NX compatible)"
  if [ "$arch" = x86_64 ]; then
    [ $((flags & 0x20)) -ne 0 ] || fail "no high-entropy ASLR"
  else
    [ $((flags & 0x400)) -ne 0 ] || fail "not marked as registering no SEH handler"
  fi
done

case_ "Release.ZipHoldsTheThreeDeliverablesInOneFolder"
folder=$(basename "$zip" .zip)
listing=$(cmake -E tar tf "$zip" 2>&1) || fail "cannot list $zip: $listing"
expected=$(printf '%s\n' "$folder/" "$folder/Instkervo.exe" "$folder/kervodll.dll" "$folder/palvenor.exe")
# Directory entries are written with or without their slash; the files must be exactly these.
got=$(sed 's|/$||' <<<"$listing" | sort)
[ "$got" = "$(sed 's|/$||' <<<"$expected" | sort)" ] || fail "$zip holds: $(tr '\n' ' ' <<<"$listing")"

# The report.
if [[ "${GTEST_OUTPUT:-}" == xml:* ]]; then
  dir=${GTEST_OUTPUT#xml:}
  dir=${dir#[A-Za-z]:}
  dir=${dir//\\//}
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<testsuites tests=\"${#cases[@]}\" failures=\"${#failed[@]}\" disabled=\"0\" errors=\"0\" name=\"AllTests\">"
    echo "  <testsuite name=\"Release\" tests=\"${#cases[@]}\">"
    for c in "${cases[@]}"; do echo "    <testcase name=\"$c\"/>"; done
    echo "  </testsuite>"
    echo "</testsuites>"
  } > "$dir/test_release.xml"
fi
echo "${#cases[@]} cases, ${#failed[@]} failures"
[ "${#failed[@]}" -eq 0 ]
