#!/bin/sh
# Stands in for a test that cannot run on this host: prints why, and exits with the code
# that CTest is told means "skipped".
echo "skipped: $*"
exit 77
