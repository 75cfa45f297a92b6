#!/bin/sh
# Exits 0 when this host runs 32-bit programs, 1 when it does not; in that case it prints
# one line saying why. Some hosts run 64-bit user code only: there every i386 program fails
# with "Exec format error", and Wine's 32-bit loader is such a program. QUILLET_64BIT_ONLY=1
# takes the 64-bit-only path on any host.
case "${QUILLET_64BIT_ONLY:-0}" in
0 | "") ;;
*)
    echo "QUILLET_64BIT_ONLY is set: building, opening and testing the 64-bit Quillet only; 32-bit tests are skipped."
    exit 1
    ;;
esac
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    exit 0
fi
echo "This host cannot run 32-bit programs: building, opening and testing the 64-bit Quillet only; 32-bit tests are skipped."
exit 1
