#!/usr/bin/env bash
# Damaged "filterState" values leave every parameter at its default: the program starts,
# shows its window and writes a default state when closed.
source "$(dirname "$0")/standalone-lib.sh"

valid="$(state_blob cutoff=500)"   # "size.data"
damaged=(
    "not a state blob"                  # not the framework's text form at all
    "${valid%%.*}.zzzz${valid#*.????}"  # the binary header's magic number overwritten
    "64.$(head -c 48 /dev/urandom | base64 -w 0 | tr -d '=')"  # random bytes
    "${valid:0:$(( ${#valid} / 2 ))}"   # cut in half
)

start_display

for text in "${damaged[@]}"; do
    write_settings filterState "$text" shouldMuteInput 0
    start_app
    window="$(find_app_window)"
    close_app_with_close_button "$window"
    expect_default_parameters "$(state_parameters "$(settings_value filterState)")"
    note "damaged state '${text:0:24}...' gave defaults"
done
