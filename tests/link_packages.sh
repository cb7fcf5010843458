# shellcheck shell=bash
# Whether a link needs only what the test command installs: on a new machine
# a library that this machine got some other way (by hand, or left by an
# earlier session) is missing, and the link fails there. Sourced, not run.

# The packages that scripts/test.sh has install-deps.sh install, with the
# ones install-deps.sh always installs.
packages_installed_by_test_command() {
    local scripts=$1/scripts
    sed -e ':joined' -e '/\\$/N; s/\\\n//; t joined' "$scripts/test.sh" |
        grep -o 'install-deps\.sh[^|&;#]*' | tr -s ' ' '\n' | grep -v 'install-deps\.sh'
    sed -n 's/^packages=(\(.*\))$/\1/p' "$scripts/install-deps.sh" | tr -s ' ' '\n' |
        grep -v '^"\$@"$'
}

# Every installed package that the named ones depend on, directly or not,
# and themselves. Of a choice (a | b) whatever is installed counts; a
# virtual package counts through the installed packages that provide it.
dependency_closure() {
    local -A depends=() seen=()
    local package status relations provided alternative
    while IFS=$'\t' read -r package status relations provided; do
        [[ $status == *' installed' ]] || continue
        depends[$package]+=" ${relations//[|,]/ }"
        for alternative in ${provided//,/ }; do depends[$alternative]+=" $package"; done
    done < <(dpkg-query -W -f='${Package}\t${Status}\t${Depends},${Pre-Depends}\t${Provides}\n' |
        sed 's/([^)]*)//g')
    local queue=("$@")
    while [ ${#queue[@]} -gt 0 ]; do
        package=${queue[-1]%%:*}
        unset 'queue[-1]'
        [ -z "${seen[$package]:-}" ] || continue
        seen[$package]=1
        echo "$package"
        for alternative in ${depends[$package]:-}; do queue+=("$alternative"); done
    done
}

# check_link_packages SOURCE_DIR COMPILER [FLAG...]: links an empty program
# as the test does and fails when a file it reads is not brought by the test
# command's packages.
check_link_packages() {
    local source=$1 compiler=$2 probe trace file package
    shift 2
    probe=$(mktemp -d)
    trace=$(echo 'int main() {}' | "$compiler" "$@" -x c++ - -o "$probe/empty" -Wl,--trace 2>&1)
    local status=$?
    rm -rf "$probe"
    [ "$status" -eq 0 ] || { echo "cannot link with $compiler $*: $trace"; return 1; }
    local -A needed=()
    local installed=()
    mapfile -t installed < <(packages_installed_by_test_command "$source")
    while read -r package; do needed[$package]=1; done < <(dependency_closure "${installed[@]}")
    # A file of the system is read through its name, which may be a link,
    # and as the file at the end of that: both must be brought. Each is
    # asked for by the names the merged /usr gives it.
    local -A owner=()
    local files=() name
    while read -r file; do
        name=$(realpath -s "$file")
        [[ $name == /usr/* || $name == /lib* ]] || continue
        files+=("$name" "$(realpath "$file")")
    done < <(grep '^/' <<<"$trace" | sort -u)
    alternate_names() { echo "$1" "${1#/usr}" "/usr${1#/usr}"; }
    # shellcheck disable=SC2046 # one name a word
    while read -r package name; do
        owner[$name]=$package
    done < <(dpkg-query -S $(for name in "${files[@]}"; do alternate_names "$name"; done) \
        2>/dev/null | sed -n 's/^\([^:, ]*\)[^ ]*: \(\/.*\)$/\1 \2/p')
    local strays=()
    for file in $(printf '%s\n' "${files[@]}" | sort -u); do
        package=
        for name in $(alternate_names "$file"); do package=${package:-${owner[$name]:-}}; done
        [ -n "$package" ] && [ -n "${needed[$package]:-}" ] ||
            strays+=("$file (${package:-no package})")
    done
    [ ${#strays[@]} -eq 0 ] && return 0
    echo "linking with $compiler $* reads what scripts/test.sh does not install: ${strays[*]}"
    return 1
}
