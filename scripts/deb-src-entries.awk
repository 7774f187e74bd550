# Reads apt source files, in the one-line format (*.list) and the deb822 format (*.sources), and
# prints a deb822 deb-src entry for each enabled deb entry of the suite `suite` and its companions
# (suite-updates, suite-security ...), with the entry's URIs and key. Used by build-windows-qt:
#   awk -v suite=bookworm -f deb-src-entries.awk /etc/apt/sources.list.d/debian.sources

function of_suite(s) {
    return s == suite || index(s, suite "-") == 1
}

# One entry: its URIs, suites and key as the source file gave them (space-separated).
function emit(uris, suites, signed,    n, list, i, keep) {
    n = split(suites, list, " ")
    keep = ""
    for (i = 1; i <= n; i++)
        if (of_suite(list[i]))
            keep = keep (keep == "" ? "" : " ") list[i]
    if (uris == "" || keep == "" || seen[uris SUBSEP keep]++)
        return
    printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n", uris, keep
    if (signed != "")
        printf "Signed-By: %s\n", signed
    printf "\n"
}

function flush() {
    if (is_deb && enabled)
        emit(uris, suites, signed)
    is_deb = 0; enabled = 1; uris = suites = signed = ""
}

FNR == 1 { flush(); deb822 = FILENAME ~ /\.sources$/ }

# deb822: paragraphs of "Field: value"; a blank line ends one.
deb822 && /^[ \t]*$/ { flush(); next }
deb822 && /^#/ { next }
# A continuation line: an embedded key of Signed-By, kept as it stands.
deb822 && /^[ \t]/ { if (field == "signed-by") signed = signed "\n" $0; next }
deb822 && /^[A-Za-z-]+:/ {
    field = tolower(substr($0, 1, index($0, ":") - 1))
    value = substr($0, index($0, ":") + 1)
    gsub(/^[ \t]+|[ \t]+$/, "", value)
    if (field == "types") is_deb = (" " value " ") ~ / deb /
    else if (field == "uris") uris = value
    else if (field == "suites") suites = value
    else if (field == "signed-by") signed = value
    else if (field == "enabled") enabled = tolower(value) != "no"
    next
}

# One-line: deb [option=value ...] URI suite component...
!deb822 && $1 == "deb" {
    i = 2
    key = ""
    if ($2 ~ /^\[/) {
        for (; i <= NF; i++) {
            if ($i ~ /^\[?signed-by=/) {
                key = $i
                sub(/^\[?signed-by=/, "", key)
                sub(/\]$/, "", key)
            }
            if ($i ~ /\]$/) { i++; break }
        }
    }
    emit($i, $(i + 1), key)
}

END { flush() }
