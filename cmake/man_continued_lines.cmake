# Run with -DPAGE=FILE after help2man: an indented paragraph of --help whose lines end in a
# shell's line continuation (" \") is a command over several lines, which man would fill into
# one line with the backslashes inside. Such lines are set as they are written (.nf ... .fi).
file(READ ${PAGE} text)
string(REGEX REPLACE "\n\\.IP\n(([^\n]* \\\\e\n)+[^\n]*\n)" "\n.IP\n.nf\n\\1.fi\n" text "${text}")
file(WRITE ${PAGE} "${text}")
