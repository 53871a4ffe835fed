# Sourced first by each tool script with its arguments: "--help" or "-h" prints the script's
# opening comment, which says what it does and how it is called, and ends it there.
case "${1:-}" in
--help | -h)
    awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
    exit 0
    ;;
esac
