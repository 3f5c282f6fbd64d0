# Sourced by the sanitizer stages: every report ends the program with a failure, and leaks are
# reported except inside system libraries that keep caches for the life of the process.
supp="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/sanitizers"
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp"
