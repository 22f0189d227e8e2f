#!/bin/bash
# own-mounts-only.sh MOUNT_POINT PROGRAM [ARGS...]
#
# Run by run-tests.sh inside a mount namespace of its own (unshare --mount
# --propagation private): unmounts every smbnetfs mount but MOUNT_POINT, in
# this namespace only, then runs PROGRAM.
set -euo pipefail
keep=$1
shift
# Field 5 is the mount point, the field after "-" the file system type; the
# kernel writes a space as \040 and a backslash as \134.
while read -r point; do
    point=$(printf '%b' "$(sed 's/\\\([0-7][0-7][0-7]\)/\\0\1/g' <<<"$point")")
    [[ "$point" == "$keep" ]] || umount -l "$point"
done < <(awk '{ for (i = 7; i < NF; i++) if ($i == "-") { if ($(i + 1) == "fuse.smbnetfs") print $5; break } }' \
    /proc/self/mountinfo)
exec "$@"
