# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the end-to-end scripts: checks that print QtTest-like lines and
# a closing "N passed, N failed" line.
passed=0
failed=0
check() { # check NAME COMMAND...; returns the command's success
    local name=$1; shift
    if "$@"; then echo "PASS   : $name"; passed=$((passed + 1)); return 0; fi
    echo "FAIL!  : $name"; failed=$((failed + 1)); return 1
}
# Retries a command for up to $1 tenths of a second.
eventually() {
    local tries=$1; shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
    return 1
}
