#!/bin/sh
# Stand-in opener for the ShellExecuteW tests. Records its process id and
# arguments in $KELO_TEST_OPENER_LOG, then stays alive until the file
# $KELO_TEST_OPENER_LOG.release appears (at most about 20 s), and finally
# writes $KELO_TEST_OPENER_LOG.done.
log="$KELO_TEST_OPENER_LOG"
{
  echo "pid $$"
  echo "argc $#"
  for arg in "$@"; do echo "arg $arg"; done
} > "$log.tmp"
mv "$log.tmp" "$log"
i=0
while [ ! -e "$log.release" ] && [ $i -lt 400 ]; do
  sleep 0.05
  i=$((i + 1))
done
echo done > "$log.done"
