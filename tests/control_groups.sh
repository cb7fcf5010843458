# shellcheck shell=bash
# Making a control group for an end-to-end test. Sourced, not run.

# make_group CONTROLLER FILE: makes a new group for this process's test
# below its own, in the cgroup v2 hierarchy where that group has FILE (so
# CONTROLLER is enabled there), else in CONTROLLER's cgroup v1 hierarchy.
# Sets $group to its directory and $unified to 1 (v2) or 0 (v1); fails
# where neither can be made (not root, read-only, no such hierarchy).
# shellcheck disable=SC2034 # group and unified are the caller's
make_group() {
    local controller=$1 file=$2 own mount
    own=$(sed -n 's/^0:://p' /proc/self/cgroup)
    mount=$(awk '$(NF-2) == "cgroup2" { print $5; exit }' /proc/self/mountinfo)
    if [ -n "$own" ] && [ -n "$mount" ]; then
        group=$mount${own%/}/fraction-test-$controller-$$
        if mkdir "$group" 2>/dev/null; then
            if [ -e "$group/$file" ]; then
                unified=1
                return 0
            fi
            rmdir "$group"
        fi
    fi
    own=$(awk -F: -v c="$controller" '$2 ~ "(^|,)" c "(,|$)" { print $3; exit }' /proc/self/cgroup)
    mount=$(awk -v c="$controller" '$(NF-2) == "cgroup" && $NF ~ "(^|,)" c "(,|$)" { print $5; exit }' \
        /proc/self/mountinfo)
    if [ -n "$own" ] && [ -n "$mount" ]; then
        group=$mount${own%/}/fraction-test-$controller-$$
        if mkdir "$group" 2>/dev/null; then
            unified=0
            return 0
        fi
    fi
    return 1
}
