# Sourced by the package scripts: `check NAME COMMAND...` runs one check and prints
# "ok - NAME" or "not ok - NAME", counting failures in $failed.
failed=0
check() {
    local name=$1
    shift
    if "$@"; then
        echo "ok - $name"
    else
        echo "not ok - $name"
        failed=$((failed + 1))
    fi
}
