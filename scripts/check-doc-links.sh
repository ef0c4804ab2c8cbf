#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the relative links and images of README.md and docs/**/*.md: each
# must name a file or folder that exists, and a "#anchor" into a Markdown page
# must name one of its headings (GitHub's slugs: lower case, punctuation
# dropped, spaces as "-", "-1", "-2"... for repeats). Web links are left
# alone, and so is what stands in code. Prints every dead link as file:line
# and exits 1 when there is one. No network; bash, grep and sed only.
#
#   scripts/check-doc-links.sh [source root, default the script's project]
set -uo pipefail
export LC_ALL=C.UTF-8
ROOT=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$ROOT" || exit 2

# A page with its fenced code blocks blanked, lines kept so that line numbers
# stay right.
unfenced() {
    local fence='' line open='^ {0,3}(```+|~~~+)' close
    while IFS= read -r line || [ -n "$line" ]; do
        if [[ -z $fence && $line =~ $open ]]; then
            fence=${BASH_REMATCH[1]}
            close="^ {0,3}${fence:0:1}{${#fence},}[[:space:]]*\$"
            echo
        elif [[ -n $fence ]]; then
            [[ $line =~ $close ]] && fence=''
            echo
        else
            echo "$line"
        fi
    done <"$1"
}

# Its prose: inline code spans removed too.
prose() {
    unfenced "$1" | sed -E 's/``[^`]+``//g; s/`[^`]+`//g'
}

# GitHub's anchors of a page's headings, one a line, and the ids of its HTML anchors.
declare -A SLUGS
slugs() {
    local file=$1 heading='^ {0,3}#{1,6}[[:space:]]+(.*)$' slug
    declare -A seen=()
    {
        while IFS= read -r slug; do
            slug=${slug,,}
            slug=${slug// /-}
            if [[ -n ${seen[$slug]+x} ]]; then
                seen[$slug]=$((seen[$slug] + 1))
                slug="$slug-${seen[$slug]}"
            else
                seen[$slug]=0
            fi
            echo "$slug"
        done < <(unfenced "$file" | sed -nE "s/$heading/\1/p" \
                 | sed -E 's/[[:space:]]+$//; s/[[:space:]]+#+$//; s/!?\[([^]]*)\]\([^)]*\)/\1/g; s/<[^>]+>//g; s/[^[:alnum:] _-]//g')
        grep -oE '<a [^>]*(name|id)="[^"]+"' "$file" | sed -E 's/.*(name|id)="([^"]+)"/\2/'
    } | tr '\n' ' '
}

anchorExists() {
    local file=$1 anchor=$2
    [[ -n ${SLUGS[$file]+x} ]] || SLUGS[$file]=" $(slugs "$file") "
    [[ ${SLUGS[$file]} == *" $anchor "* ]]
}

dead=0
links=0
pages=0
report() {
    echo "$1:$2: dead link: $3 ($4)"
    dead=$((dead + 1))
}

check() {
    local page=$1 number=$2 target=$3 path anchor resolved
    links=$((links + 1))
    path=${target%%#*}
    anchor=''
    [[ $target == *#* ]] && anchor=${target#*#}
    path=${path//%20/ }
    if [[ -z $path ]]; then
        resolved=$page
    elif [[ $path == /* ]]; then
        resolved=${path#/}
    else
        resolved=${page%/*}
        [[ $page == */* ]] || resolved=.
        resolved=$resolved/$path
    fi
    if [[ ! -e $resolved ]]; then
        report "$page" "$number" "$target" "no such file"
    elif [[ -n $anchor && $resolved == *.md && -f $resolved ]] && ! anchorExists "$resolved" "$anchor"; then
        report "$page" "$number" "$target" "no such heading"
    fi
}

# Inline links and images: [text](target "title"), ![alt](<target>); reference
# definitions: [label]: target; HTML: src="target", href="target".
LINK='\]\([[:space:]]*(<[^>]*>|[^)[:space:]]*)[^)]*\)'
DEFINITION='^ {0,3}\[[^]]+\]:[[:space:]]+<?([^[:space:]>]+)'
HTML='(src|href)="([^"]+)"'
WEB='^[A-Za-z][A-Za-z0-9+.-]*:'

mapfile -t PAGES < <( { [ -f README.md ] && echo README.md; [ -d docs ] && find docs -name '*.md'; } | sort)
for page in "${PAGES[@]}"; do
    pages=$((pages + 1))
    number=0
    while IFS= read -r line; do
        number=$((number + 1))
        rest=$line
        while [[ $rest =~ $LINK ]]; do
            target=${BASH_REMATCH[1]}
            rest=${rest#*"${BASH_REMATCH[0]}"}
            target=${target#<}
            target=${target%>}
            [[ -z $target || $target =~ $WEB || $target == //* ]] && continue
            check "$page" "$number" "$target"
        done
        if [[ $line =~ $DEFINITION ]]; then
            target=${BASH_REMATCH[1]}
            [[ $target =~ $WEB || $target == //* ]] || check "$page" "$number" "$target"
        fi
        while [[ $line =~ $HTML ]]; do
            target=${BASH_REMATCH[2]}
            line=${line#*"${BASH_REMATCH[0]}"}
            [[ $target =~ $WEB || $target == //* ]] || check "$page" "$number" "$target"
        done
    done < <(prose "$page")
done

echo "$links relative links in $pages pages, $dead dead"
[ "$dead" -eq 0 ]
