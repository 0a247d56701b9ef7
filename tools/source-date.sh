# Sourced by the scripts that build release files, from the top of the tree:
# SOURCE_DATE_EPOCH, the time every file in them carries, is the last commit's
# unless set (in a source tarball without git, the time git archive gave its
# files).
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  else
    SOURCE_DATE_EPOCH=$(stat -c %Y CHANGELOG.md)
  fi
fi
export SOURCE_DATE_EPOCH
