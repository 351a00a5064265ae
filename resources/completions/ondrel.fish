# fish completion for ondrel

set -l commands toggle list get select paste delete pin unpin add clear pause resume status detect transform highlight
set -l transformations camelCase snakeCase kebabCase pascalCase uppercase lowercase titleCase base64Encode base64Decode urlEncode urlDecode jsonPrettify jsonMinify jsonEscape jsonUnescape trimWhitespace removeNewlines sortLines reverseLines uniqueLines
set -l languages swift javascript typescript python ruby json html css shell sql go rust plain

complete -c ondrel -f
complete -c ondrel -n "not __fish_seen_subcommand_from $commands" -a "$commands"
complete -c ondrel -n "not __fish_seen_subcommand_from $commands" -l version -d 'print the version'
complete -c ondrel -l help -s h -d 'print the usage'
complete -c ondrel -n "__fish_seen_subcommand_from transform; and test (count (commandline -opc)) -eq 2" -a "$transformations"
complete -c ondrel -n "__fish_seen_subcommand_from highlight; and test (count (commandline -opc)) -eq 2" -a "$languages"
complete -c ondrel -n "__fish_seen_subcommand_from transform highlight; and test (count (commandline -opc)) -ge 3" -F
complete -c ondrel -n "__fish_seen_subcommand_from detect add" -F
complete -c ondrel -n "__fish_seen_subcommand_from list" -l json -l null
complete -c ondrel -n "__fish_seen_subcommand_from list" -l limit -l search -x
complete -c ondrel -n "__fish_seen_subcommand_from get" -l type
complete -c ondrel -n "__fish_seen_subcommand_from clear" -l all
complete -c ondrel -n "__fish_seen_subcommand_from pause" -l for -x
complete -c ondrel -n "__fish_seen_subcommand_from status" -l json
