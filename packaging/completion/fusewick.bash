# Bash completion for the Fusewick programs: options, team files (*.fpl), maps (*.map) where a map is asked for.
# Installed once under each program's name, so bash-completion loads it for whichever is typed first.

_fusewick_files() {  # _fusewick_files <glob>: matching files and every folder
    local IFS=$'\n'
    COMPREPLY+=($(compgen -d -- "$cur"))
    COMPREPLY+=($(compgen -f -X "!$1" -- "$cur"))
}

_fusewick() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local game='-W --width -H --height -D --debug -M --map -h --help'
    local options files='*.fpl'
    COMPREPLY=()
    case ${COMP_WORDS[0]##*/} in
    fusewick) options=$game ;;
    fusewick-arena)
        options="--status-at --max-ticks --json --trace --trace-json --trace-players --trace-changes --record --replay --verbose --version $game" ;;
    fusewick-view) options="--tick --replay --max-ticks --version $game" ;;
    fusewick-check) options='-h --help --version --werror --json -M --map'; files='*.@(fpl|map)' ;;
    fusewick-tournament)
        if [[ " ${COMP_WORDS[*]:1:COMP_CWORD-1} " == *" merge "* ]]; then
            options='-h --help --standings --csv --report --site --by-map --replays --mixed --out'; files='*'
        else
            options='-h --help --version -m --map -j --jobs --seats --sample --seed --max-ticks --out --resume
                     --shard --standings --csv --report --site --by-map --replays -q --quiet --list merge'
        fi ;;
    fusewick-ladder)
        case " ${COMP_WORDS[*]:1:COMP_CWORD-1} " in
        *" serve "*) options='-h --help --db --port --workers --threads --maps --max-ticks --submit-rate --budget
                              --width --placement --batch --lease --site' ;;
        *" work "*) options='-h --help --db --name --once --matches' ;;
        *" status "* | *" standings "* | *" verify "* | *" backup "*) options='-h --help --db' ;;
        *) options='-h --help --version serve work status standings verify backup' ;;
        esac
        files='' ;;
    esac
    [[ ${COMP_WORDS[0]##*/} == fusewick-check && $prev == --json ]] && prev=  # a switch there, no value
    case $prev in
    -M | --map | -m) _fusewick_files '*.map'; return ;;
    --json | --trace | --trace-json | --record | --replay | --out | --standings | --csv | --report) _fusewick_files '*'; return ;;
    --db) _fusewick_files '*.db'; return ;;
    --replays | --site) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --seats) COMPREPLY=($(compgen -W 'rotate all' -- "$cur")); return ;;
    -W | --width | -H | --height | -D | --debug | --status-at | --max-ticks | --trace-players | --tick | -j | --jobs | \
        --sample | --seed | --shard | --port | --workers | --threads | --submit-rate | --budget | --width | \
        --placement | --batch | --lease | --name | --matches) return ;;
    esac
    if [[ $cur == -* || -z $files ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        _fusewick_files "$files"
    fi
}

shopt -s extglob
complete -F _fusewick fusewick fusewick-arena fusewick-view fusewick-check fusewick-tournament fusewick-ladder
