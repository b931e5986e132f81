# Sourced by the build and test scripts: `stage NAME` starts a stage, and the
# EXIT trap prints each stage's wall time, also after a failure. On a shared
# machine that is how a slow run is told from a stuck one.
stages=()
stage_started=$SECONDS
stage_name=
stages_title=${stages_title:-time per stage}

stage() {
    end_stage
    stage_name=$1
    stage_started=$SECONDS
    echo "== $1" >&2
}

end_stage() {
    if [ -n "$stage_name" ]; then
        stages+=("$(printf '%4d:%02d  %s' $(((SECONDS - stage_started) / 60)) \
            $(((SECONDS - stage_started) % 60)) "$stage_name")")
    fi
    stage_name=
}

# report_stages [STATUS]: STATUS is the script's exit status ($? unless given).
report_stages() {
    local status=${1:-$?}
    end_stage
    echo "== $stages_title (minutes:seconds)" >&2
    [ "${#stages[@]}" = 0 ] || printf '%s\n' "${stages[@]}" >&2
    printf '%4d:%02d  in all%s\n' $((SECONDS / 60)) $((SECONDS % 60)) \
        "$([ "$status" = 0 ] || echo ", stopped by a failure")" >&2
}
