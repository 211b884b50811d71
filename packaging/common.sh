# Shared by dist.sh and deb.sh (sourced from the repository root).

# require_tools WHAT HINT TOOL...: stops with a message naming the first missing tool.
require_tools() {
    local what=$1 hint=$2 tool
    shift 2
    for tool in "$@"; do
        if ! command -v "$tool" > /dev/null; then
            echo "$what needs $tool (Debian: $hint)" >&2
            exit 1
        fi
    done
}

# Sets `commit` and exports SOURCE_DATE_EPOCH from HEAD: only the committed
# tree is built, and every timestamp comes from its commit.
use_committed_tree() {
    commit=$(git rev-parse --short HEAD)
    if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
        echo "note: building the committed tree $commit; uncommitted changes are left out" >&2
    fi
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
    export SOURCE_DATE_EPOCH
}
