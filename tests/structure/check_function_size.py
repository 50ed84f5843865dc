#!/usr/bin/env python3
"""Functions too long or taking too many parameters in src/.

Lists every function defined in a .h or .cpp file under SRC_DIR whose body is longer than
MAX_BODY_LINES lines or that takes more than MAX_PARAMETERS parameters. The length of a body
counts every line from the line of its opening brace to the line of its closing brace, both
included, blank and comment lines included. Free functions, member functions (inside or outside
their class), constructors, destructors, operators and lambdas defined outside any function count
as functions; a lambda or a local class inside a function is part of that function.

Accepted exceptions are listed in function_size_allowed.txt beside this script (or the file given
with --allowed), one per line, written as the check prints them, with the reason after a "#":
    src/night/night_loop.cpp::NightLoop::run  # why it stays long
The check fails on an offender that is not listed, on a listed function that no longer exceeds
(or no longer exists), and on an entry without a reason, so the list cannot go stale.

How a definition is recognised (a heuristic reader, not a compiler):
  - comments, string and char literals (raw strings and digit separators included) and
    preprocessor lines are blanked first; every branch of #if/#else is read, so a brace opened in
    one branch and closed in another can throw the reader off;
  - outside function bodies, the tokens since the last ";", "{" or "}" form a head; a "{" after a
    head is a function body when the head holds a parameter list "name(...)" (or a lambda
    "[...](...)") not inside template arguments, followed only by qualifiers (const, noexcept(...),
    override, final, &, attributes, try), a trailing return type, a requires clause or a
    constructor initializer list (whose "member{...}" braces are skipped);
  - a head starting with namespace, extern "C", class, struct, union or enum opens a scope that is
    not a function; any other brace (initializers) is skipped whole;
  - inside a function body only braces are matched, so if/for/while/switch/catch blocks, lambdas
    and local classes all belong to the enclosing function;
  - template arguments are told from comparisons only by "<" following a name, so a comparison in
    a default argument can miscount parameters; a function-like macro standing before a
    definition without a ";" is passed over only when what follows it is a proper definition;
  - parameters are the top-level commas of the parameter list plus one ("()" and "(void)" are
    none, "..." is one); declarations without a body are not read;
  - a lambda outside any function is named after the variable it is given to; a function
    returning a function pointer ("int (*f())(int) {") is not recognised;
  - overloads share a name: one allow-list entry covers every overload of that name in the file.

Usage: check_function_size.py [--allowed FILE] [--list] DIR...
(DIR is src/ and any other folder of sources, tools/; each file is shown from its DIR's name.)
(--list also prints every function found, to see what the reader makes of a file.)
Exit status: 0 when clean, 1 on an offender or a bad allow-list entry, 2 on a usage error.
"""
import bisect
import os
import re
import sys

MAX_BODY_LINES = 50
MAX_PARAMETERS = 6

SOURCE_SUFFIXES = (".h", ".cpp")
DEFAULT_ALLOWED = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                               "function_size_allowed.txt")

# Words that stand before "(" without naming a function.
NOT_A_NAME = {
    "if", "for", "while", "switch", "catch", "return", "sizeof", "alignof", "decltype", "noexcept",
    "throw", "alignas", "__attribute__", "static_assert", "requires", "typeid", "new",
    "delete", "co_await", "co_return", "co_yield", "and", "or", "not", "typeof", "__typeof__",
    "asm", "__asm__", "template", "typename", "using", "case", "do", "else", "default", "goto",
    "static_cast", "dynamic_cast", "const_cast", "reinterpret_cast", "void", "int", "char",
    "bool", "float", "double", "long", "short", "unsigned", "signed", "auto", "explicit",
}
NOT_BEFORE_ANGLES = NOT_A_NAME - {"template"}  # a "<" after these is not template arguments
# Words after a parameter list and before the body.
QUALIFIERS = {"const", "volatile", "&", "&&", "override", "final", "mutable", "constexpr",
              "consteval", "static", "try", "noexcept", "throw", "transaction_safe"}
WITH_ARGUMENTS = {"noexcept", "throw", "__attribute__", "alignas"}
CLASS_KEYS = {"class", "struct", "union"}
ACCESS = {"public", "private", "protected"}

TOKEN = re.compile(r"[A-Za-z_]\w*|\d[\w.']*|::|->|\.\.\.|&&|\S")
IDENTIFIER = re.compile(r"[A-Za-z_]\w*$")
RAW_STRING = re.compile(r'(?:u8|u|U|L)?R"([^ ()\\\t\n]{0,16})\(')


def _blank(piece):
    return re.sub(r"[^\n]", " ", piece)


def _in_number(text, i):
    j = i
    while j > 0 and (text[j - 1].isalnum() or text[j - 1] in "_.'"):
        j -= 1
    return text[j].isdigit()


def blank_out(text):
    """Blanks comments, literals and preprocessor lines, keeping every line break.

    A string or char literal becomes "0" and spaces, so it stays one token of its own."""
    out = []
    i, n = 0, len(text)
    line_start = True  # only blanks since the last line break
    while i < n:
        c = text[i]
        if c == "\n":
            out.append(c)
            i += 1
            line_start = True
            continue
        if line_start and c == "#":
            j = i
            while j < n and text[j] != "\n":
                if text[j] == "\\" and j + 1 < n and text[j + 1] == "\n":
                    j += 2
                elif text.startswith("/*", j):
                    end = text.find("*/", j + 2)
                    j = n if end < 0 else end + 2
                else:
                    j += 1
            out.append(_blank(text[i:j]))
            i = j
            continue
        if c in " \t\r\f\v":
            out.append(c)
            i += 1
            continue
        line_start = False
        if text.startswith("//", i):
            j = i
            while j < n and text[j] != "\n":
                j += 2 if text[j] == "\\" and j + 1 < n and text[j + 1] == "\n" else 1
            out.append(_blank(text[i:j]))
            i = j
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(_blank(text[i:end]))
            i = end
        elif c in "uULR" and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")) \
                and RAW_STRING.match(text, i):
            match = RAW_STRING.match(text, i)
            close = ")" + match.group(1) + '"'
            end = text.find(close, match.end())
            end = n if end < 0 else end + len(close)
            out.append("0" + _blank(text[i + 1:end]))
            i = end
        elif c == "'" and i > 0 and text[i - 1].isalnum() and _in_number(text, i):
            out.append(c)  # a digit separator, as in 1'000'000
            i += 1
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(" 0" + _blank(text[i + 2:j + 1]))  # a literal is at least two long
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def tokenize(text):
    """(text, line) of each token of the blanked text."""
    breaks = [m.start() for m in re.finditer("\n", text)]
    return [(m.group(), bisect.bisect_left(breaks, m.start()) + 1)
            for m in TOKEN.finditer(text)]


def match_brackets(words, opener, closer):
    """Index of the matching closer for each opener; unmatched openers are left out."""
    matches, stack = {}, []
    for k, word in enumerate(words):
        if word == opener:
            stack.append(k)
        elif word == closer and stack:
            matches[stack.pop()] = k
    return matches


def is_name(word):
    return IDENTIFIER.match(word) is not None and word not in NOT_A_NAME


class Head:
    """The tokens since the last ";", "{" or "}" outside function bodies."""

    def __init__(self, items):
        self.items = items                  # (text, line)
        self.words = [w for w, _ in items]
        self.parens = match_brackets(self.words, "(", ")")
        self.squares = match_brackets(self.words, "[", "]")

    def skip_angles_back(self, k):
        """From a ">" at k, the index of its "<" (or -1)."""
        depth = 0
        while k >= 0:
            w = self.words[k]
            if w == ">":
                depth += 1
            elif w == "<":
                depth -= 1
                if depth == 0:
                    return k
            elif w == ")":
                opener = [o for o, c in self.parens.items() if c == k]
                if opener:
                    k = opener[0]
            k -= 1
        return -1

    def qualified_name(self, k):
        """The declarator name ending at k ("A::B::f", "~A", "A<T>::f" as "A::f")."""
        parts = [self.words[k]]
        start = k
        if k > 0 and self.words[k - 1] == "~":
            parts[0] = "~" + parts[0]
            start = k - 1
        k = start - 1
        while k >= 1 and self.words[k] == "::":
            j = k - 1
            if self.words[j] == ">":
                j = self.skip_angles_back(j) - 1
            if j >= 0 and IDENTIFIER.match(self.words[j]):
                parts.append(self.words[j])
                start = j
                k = j - 1
            else:
                break
        return "::".join(reversed(parts)), start

    def tail_is_qualifiers(self, k):
        """Whether the tokens from k to the end may stand between a parameter list and a body.
        Returns (ok, has initializer list, ends with try)."""
        words = self.words
        while k < len(words):
            w = words[k]
            if w in WITH_ARGUMENTS and k + 1 < len(words) and words[k + 1] == "(":
                k = self.parens.get(k + 1, len(words)) + 1
            elif w == "[" and k + 1 < len(words) and words[k + 1] == "[":
                k = self.squares.get(k, len(words)) + 1
            elif w in QUALIFIERS:
                k += 1
            elif w in ("->", "requires"):
                return True, False, words[-1] == "try"
            elif w == ":":
                return True, True, False
            else:
                return False, False, False
        return True, False, bool(words) and words[-1] == "try"

    def lambda_name(self, square):
        """The variable a lambda starting at the "[" at square is given to, if any."""
        if square >= 2 and self.words[square - 1] == "=" and is_name(self.words[square - 2]):
            return self.words[square - 2], self.items[square - 2][1]
        return "(lambda)", self.items[square][1]

    def function(self):
        """(name, line, parameters, has initializer list, try) when the head ends a definition."""
        words = self.words
        angle = 0
        k = 0
        while k < len(words):
            w = words[k]
            candidate = None  # (name, line, index of "(" or None)
            if w == "operator" and angle == 0:
                j = k + 1
                if j + 1 < len(words) and words[j] == "(" and words[j + 1] == ")":
                    j += 2
                while j < len(words) and words[j] != "(":
                    j += 1
                if j == len(words):
                    k += 1  # "operator" with no parameter list: not a definition
                    continue
                symbol = "".join(" " + x if IDENTIFIER.match(x) else
                                 '""' + x[1:] if x.startswith("0") else x  # operator""_km
                                 for x in words[k + 1:j])
                name, start = self.qualified_name(k)
                name = name[:-len("operator")] + "operator" + symbol.rstrip()
                candidate = (name, self.items[start][1], j)
                after = j
            elif w == "(":
                close = self.parens.get(k)
                if close is None:
                    return None
                if angle == 0 and k > 0:
                    before = k - 1
                    if words[before] == ">":
                        before = self.skip_angles_back(before) - 1
                    if before >= 0 and is_name(words[before]):
                        name, start = self.qualified_name(before)
                        candidate = (name, self.items[start][1], k)
                    elif before >= 0 and words[before] == "]":
                        opener = [o for o, c in self.squares.items() if c == before]
                        if opener:
                            name, line = self.lambda_name(opener[0])
                            candidate = (name, line, k)
                if candidate is None:
                    k = close + 1
                    continue
                after = k
            elif w == "[":
                close = self.squares.get(k)
                if close is None:
                    return None
                if k + 1 < len(words) and words[k + 1] == "[":
                    k = close + 1  # an attribute
                    continue
                if angle == 0 and (k == 0 or words[k - 1] in ("=", "(", ",", "{}", "return")) \
                        and (close + 1 >= len(words) or words[close + 1] != "("):
                    name, line = self.lambda_name(k)
                    candidate = (name, line, None)  # a lambda without a parameter list
                    after = close
                else:
                    k = close + 1
                    continue
            elif w == "<" and k > 0 and IDENTIFIER.match(words[k - 1]) \
                    and words[k - 1] not in NOT_BEFORE_ANGLES:
                angle += 1
                k += 1
                continue
            elif w == ">" and angle > 0:
                angle -= 1
                k += 1
                continue
            else:
                k += 1
                continue

            name, line, open_paren = candidate
            if open_paren is None:
                tail_from = after + 1
                parameters = 0
            else:
                close = self.parens.get(open_paren)
                if close is None:
                    return None
                tail_from = close + 1
                parameters = count_parameters(words[open_paren + 1:close])
            ok, initializers, try_block = self.tail_is_qualifiers(tail_from)
            if ok:
                return name, line, parameters, initializers, try_block
            k = (tail_from if open_paren is not None else after + 1)
        return None

    def class_name(self):
        """For a head opening a class, struct or union: ("class", name); for enum: ("enum",)."""
        words = self.words
        angle = 0
        k = 0
        while k < len(words):
            w = words[k]
            if w == "(":
                k = self.parens.get(k, len(words)) + 1
                continue
            if w == "<" and k > 0 and (IDENTIFIER.match(words[k - 1])):
                angle += 1
            elif w == ">" and angle > 0:
                angle -= 1
            elif angle == 0 and w == "enum":
                return ("enum", None)
            elif angle == 0 and w in CLASS_KEYS:
                j = k + 1
                while j < len(words):
                    if words[j] in WITH_ARGUMENTS and j + 1 < len(words) and words[j + 1] == "(":
                        j = self.parens.get(j + 1, len(words)) + 1
                    elif words[j] == "[" and j + 1 < len(words) and words[j + 1] == "[":
                        j = self.squares.get(j, len(words)) + 1
                    else:
                        break
                parts = []
                while j < len(words) and IDENTIFIER.match(words[j]) and words[j] != "final":
                    parts.append(words[j])
                    if j + 1 < len(words) and words[j + 1] == "::":
                        j += 2
                    else:
                        break
                return ("class", "::".join(parts) if parts else "(anonymous)")
            k += 1
        return None


def count_parameters(words):
    if not words or words == ["void"]:
        return 0

    def commas(track_angles):
        depth = angle = count = 0
        for k, w in enumerate(words):
            if w in "([{":
                depth += 1
            elif w in ")]}":
                depth -= 1
            elif track_angles and w == "<" and k > 0 and IDENTIFIER.match(words[k - 1]):
                angle += 1
            elif track_angles and w == ">" and angle > 0:
                angle -= 1
            elif w == "," and depth == 0 and angle == 0:
                count += 1
        return count, angle

    count, open_angles = commas(True)
    if open_angles:
        count, _ = commas(False)  # a "<" that was a comparison after all
    return count + 1


def find_functions(text):
    """(name, line of the name, first line, last line, parameters) of each definition."""
    tokens = tokenize(blank_out(text))
    words = [w for w, _ in tokens]
    braces = match_brackets(words, "{", "}")
    parens = match_brackets(words, "(", ")")
    functions = []
    classes = []  # names of the enclosing classes, None for namespaces and extern "C"
    head = []
    depth = 0  # of parentheses and brackets in the head
    k = 0
    while k < len(tokens):
        w, line = tokens[k]
        if w == "{" and depth > 0:
            head.append(("{}", line))  # braces inside parentheses: an initializer
            k = braces.get(k, len(tokens) - 1) + 1
            continue
        if w == "{":
            reading = Head(head)
            first = reading.words[0] if reading.words else ""
            if first == "namespace" or reading.words[:2] == ["inline", "namespace"] \
                    or reading.words == ["extern", "0"]:
                classes.append(None)
                head = []
                k += 1
                continue
            found = reading.function()
            if found and found[3] and reading.words[-1] not in (")", "}", "{}", "...") \
                    and (IDENTIFIER.match(reading.words[-1]) or reading.words[-1] == ">"):
                head.append(("{}", line))  # "member{...}" of an initializer list
                k = braces.get(k, len(tokens) - 1) + 1
                continue
            close = braces.get(k)
            if found:
                name, name_line, parameters, _, try_block = found
                last = len(tokens) - 1 if close is None else close
                following = last + 1
                while try_block and following + 1 < len(tokens) and words[following] == "catch" \
                        and words[following + 1] == "(":
                    after = parens.get(following + 1, len(tokens) - 1) + 1
                    if after < len(tokens) and words[after] == "{":
                        last = braces.get(after, len(tokens) - 1)
                        following = last + 1
                    else:
                        break
                outer = [c for c in classes if c is not None]
                if outer and not name.startswith("(lambda"):
                    name = "::".join(outer) + "::" + name
                functions.append((name, name_line, line, tokens[last][1], parameters))
                head = []
                k = following
                continue
            kind = reading.class_name()
            if kind and kind[0] == "class":
                classes.append(kind[1])
                head = []
                k += 1
                continue
            head.append(("{}", line))  # an initializer or an enum's list
            k = len(tokens) if close is None else close + 1
            continue
        if w == "}":
            if classes:
                classes.pop()
            head = []
            depth = 0
        elif w == ";":
            head = []
            depth = 0
        elif w == ":" and depth == 0 and head and head[-1][0] in ACCESS:
            head = []
        else:
            if w in "([":
                depth += 1
            elif w in ")]":
                depth = max(0, depth - 1)
            head.append((w, line))
        k += 1
    return functions


def source_files(src_dir):
    for root, dirs, files in os.walk(src_dir):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(root, name)


def read_allowed(path):
    """({"file::function": line of the entry}, [problems])."""
    entries, problems = {}, []
    if not os.path.exists(path):
        return entries, problems
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, start=1):
            text = raw.strip()
            if not text or text.startswith("#"):
                continue
            entry, _, why = text.partition("#")
            entry = entry.strip()
            where = "%s:%d" % (os.path.basename(path), number)
            if not re.match(r"^\S+\.(?:h|cpp)::\S+$", entry) and not re.match(
                    r"^\S+\.(?:h|cpp)::operator.+$", entry):
                problems.append("%s: \"%s\" is not written as file::function" % (where, entry))
            elif not why.strip():
                problems.append("%s: %s has no reason; add one after a \"#\"" % (where, entry))
            elif entry in entries:
                problems.append("%s: %s is listed twice" % (where, entry))
            else:
                entries[entry] = number
    return entries, problems


def describe(path, name, line, lines, parameters):
    return "%s:%d %s \u2014 %d line%s, %d parameter%s" % (
        path, line, name, lines, "" if lines == 1 else "s", parameters,
        "" if parameters == 1 else "s")


def main(argv):
    args = argv[1:]
    allowed_path = DEFAULT_ALLOWED
    list_all = False
    while len(args) > 1 and args[0].startswith("--"):
        if args[0] == "--allowed" and len(args) > 2:
            allowed_path, args = args[1], args[2:]
        elif args[0] == "--list":
            list_all, args = True, args[1:]
        else:
            break
    if not args:
        print("usage: check_function_size.py [--allowed FILE] [--list] DIR...", file=sys.stderr)
        return 2
    files = []  # (path, as shown)
    for folder in args:
        root = os.path.abspath(folder)
        if not os.path.isdir(root):
            print("function size: %s is not a folder" % folder, file=sys.stderr)
            return 2
        found = list(source_files(root))
        if not found:
            print("function size: no .h or .cpp files under %s" % folder, file=sys.stderr)
            return 2
        files += [(path, os.path.basename(root) + "/"
                   + os.path.relpath(path, root).replace(os.sep, "/")) for path in found]
    allowed, problems = read_allowed(allowed_path)

    by_key = {}  # "file::function" -> [(file, name, line, lines, parameters)]
    offenders = []
    for path, shown in files:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        for name, line, first, last, parameters in find_functions(text):
            found = (shown, name, line, last - first + 1, parameters)
            if list_all:
                print(describe(*found))
            by_key.setdefault(shown + "::" + name, []).append(found)
            if found[3] > MAX_BODY_LINES or parameters > MAX_PARAMETERS:
                offenders.append(found)

    failing = [o for o in offenders if o[0] + "::" + o[1] not in allowed]
    stale = []
    for entry in sorted(allowed, key=allowed.get):
        matches = by_key.get(entry, [])
        if not any(m in offenders for m in matches):
            stale.append((entry, matches))

    if failing:
        print("Functions longer than %d lines or with more than %d parameters (make them smaller, "
              "or list them with a reason in %s):"
              % (MAX_BODY_LINES, MAX_PARAMETERS, os.path.basename(allowed_path)))
        for found in failing:
            print(describe(*found))
    for entry, matches in stale:
        print("%s: listed in %s but %s; remove the entry"
              % (entry, os.path.basename(allowed_path),
                 "no such function is found" if not matches else "it no longer exceeds"))
        for found in matches:
            print("    " + describe(*found))
    for problem in problems:
        print(problem)

    print("function size: %d over the limits (%d allowed), %d stale allow-list entr%s, in %d files"
          % (len(offenders), len(offenders) - len(failing), len(stale),
             "y" if len(stale) == 1 else "ies", len(files)))
    return 1 if failing or stale or problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
