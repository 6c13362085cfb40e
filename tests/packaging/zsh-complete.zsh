#!/usr/bin/zsh -f
# Prints the candidates zsh's completion offers for a command line, one a
# line: an interactive zsh on a pseudo-terminal of its own (zpty), with the
# completion functions of COMPLETION_DIR, gets the line and a Tab. Its
# compadd records, instead of showing them, the candidates that match what
# is typed, and the shell ends once the completion has run.
#
#   zsh-complete.zsh COMPLETION_DIR 'velmora set play'
emulate -L zsh
zmodload zsh/zpty || exit 2
completion_dir=${1:A}
line=$2

home=$(mktemp -d) || exit 2
trap 'zpty -d complete 2>/dev/null; rm -rf $home' EXIT
cat >$home/.zshrc <<RC
PS1=''
fpath=(${(q)completion_dir} \$fpath)
autoload -Uz compinit && compinit -u -D
compadd() {
  # Lookups (-O, -A, -D) made by the completion system itself pass through.
  if [[ \${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then
    builtin compadd "\$@"
    return
  fi
  local -a hits
  builtin compadd -A hits "\$@"
  local ret=\$?
  (( \$#hits )) && print -rl -- "<candidate>"\${^hits}
  return ret
}
_completion_done() { print -r -- '<done>'; exit 0 }
comppostfuncs=(_completion_done)
RC

zpty complete env ZDOTDIR=$home TERM=xterm zsh -d -i || exit 2
zpty -n -w complete "$line"$'\t'
output=''
deadline=$((SECONDS + 5))
while (( SECONDS < deadline )) && [[ $output != *'<done>'* ]]; do
  if zpty -r -t complete chunk; then
    output+=$chunk
  else
    sleep 0.05
  fi
done
if [[ $output != *'<done>'* ]]; then
  print -u2 "zsh-complete: the completion of \"$line\" did not finish: ${(q+)output}"
  exit 1
fi
for l in "${(@f)output}"; do
  l=${l%$'\r'}
  # The first may follow the terminal's own escapes on its line.
  [[ $l == *'<candidate>'* ]] && print -r -- ${l##*<candidate>}
done | sort -u
